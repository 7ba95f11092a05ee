#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Common/ObjC/AppDelegate.h"
#include "Common/ObjC/CMacMainLoop.h"
#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Common/ObjC/CNumVol.h"
#include "Common/ObjC/LEditText.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LStdCheck.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Orbilume/CSources/OscUI/COscSettingsDlg.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/headless/HeadlessBackend.h"
#include "Platform/Foundation/Clock.h"
#include "tests/Common/ObjC/HeadlessDialogTest.h"
#include "tests/Lib3/LSources/CoreUI/BundleResources.h"
#include "tests/support/FakeClock.h"
#include "tests/support/HeadlessScreens.h"
#include "tests/support/NestedLoopGuard.h"
#include "tests/support/PinnedFonts.h"

namespace {

using plat::headless::HeadlessBackend;

std::string Str(const LString& s) {
    return std::string(s.CStr(), s.Length());
}

class OscDialogTest : public dialogtest::HeadlessDialogTest {};

TEST_F(OscDialogTest, BothDialogsBuildFromTheirResources) {
    ASSERT_TRUE(resources.Ok());
    COscServerDlg server(&root, nullptr);
    EXPECT_TRUE(server.HasLayout());
    EXPECT_EQ(Str(server.OkButton()->GetTitle()), "OK");
    EXPECT_EQ(Str(server.CancelButton()->GetTitle()), "Cancel");
    EXPECT_EQ(Str(server.PortLabel()->Text()), "Port:");
    EXPECT_EQ(Str(server.CheckBox()->GetTitle()), "Accept DMX over OSC \"/dmx\"");
    EXPECT_EQ(server.DefaultButton(), server.OkButton());
    EXPECT_EQ(server.LDialog::CancelButton(), server.CancelButton());
    EXPECT_EQ(server.PortKnob()->Minimum(), 1024.0f);
    EXPECT_EQ(server.PortKnob()->Maximum(), 65535.0f);
    EXPECT_EQ(server.PortKnob()->Step(), 1.0f);
    ExpectTidy(server, {server.OkButton(), server.CancelButton(), server.PortLabel(), server.PortKnob(),
                        server.CheckBox()});

    COscSenderDlg sender(&root, nullptr);
    EXPECT_TRUE(sender.HasLayout());
    EXPECT_EQ(Str(sender.PortLabel()->Text()), "Port:");
    EXPECT_EQ(Str(sender.AddressLabel()->Text()), "Address:");
    EXPECT_EQ(sender.DefaultButton(), sender.OkButton());
    ExpectTidy(sender, {sender.OkButton(), sender.CancelButton(), sender.PortLabel(), sender.PortKnob(),
                        sender.AddressLabel(), sender.AddressField()});
    // The fields stand to the right of their labels, the buttons at the bottom right.
    EXPECT_GE(sender.AddressField()->Bounds().left, sender.AddressLabel()->Bounds().right);
    EXPECT_EQ(sender.OkButton()->Bounds().right, 380);
    EXPECT_LT(sender.CancelButton()->Bounds().right, sender.OkButton()->Bounds().left);
}

TEST_F(OscDialogTest, PortsAreKeptInRangeAndAddressesAreDottedNumbersOnly) {
    COscServerDlg server(&root, nullptr);
    const std::pair<uint32_t, uint32_t> ports[] = {
        {51000, 51000}, {80, 1024}, {70000, 65535}, {65535, 65535}};
    for (const auto& [in, out] : ports) {
        server.SetPort(in);
        EXPECT_EQ(server.Port(), out) << in;
    }
    // What was typed but not yet entered is read clamped as well.
    server.PortKnob()->SetText(LString("99999"));
    EXPECT_EQ(server.Port(), 65535u);
    server.SetChecked(true);
    EXPECT_TRUE(server.IsChecked());
    server.SetChecked(false);
    EXPECT_FALSE(server.IsChecked());

    COscSenderDlg sender(&root, nullptr);
    EXPECT_EQ(Str(sender.AddressText()), "127.0.0.1");
    const std::pair<const char*, uint32_t> addresses[] = {{"127.0.0.1", 0x7F000001},
                                                          {"192.168.1.20", 0xC0A80114},
                                                          {"localhost", 0},
                                                          {"127.1", 0},
                                                          {"0x7f.0.0.1", 0},
                                                          {"", 0},
                                                          {"256.0.0.1", 0},
                                                          {"/scene", 0},
                                                          {"1.2.3.4 ", 0}};
    for (const auto& [text, address] : addresses) {
        sender.SetAddressText(LString(text));
        EXPECT_EQ(sender.Address(), address) << text;
    }
}

TEST_F(OscDialogTest, ReturnAnswersOkWithTheTypedValuesAndEscapeCancels) {
    ASSERT_TRUE(resources.Ok());
    auto* sender = new COscSenderDlg(&root, nullptr, ModalSpec());
    Show(sender);
    sender->SetPort(51001);
    sender->AddressField()->TakeFocus(0, true);
    ASSERT_NE(sender->AddressField()->Editor(), nullptr);
    sender->AddressField()->SelectAll();
    for (const char* k : {"1", "0", ".", "0", ".", "0", ".", "7"}) Type(sender, k);
    {
        testsupport::NestedLoopGuard guard;
        Inject(sender, "\r");
        EXPECT_EQ(sender->RunUntilResult(), 1u);
        EXPECT_FALSE(guard.Fired());
    }
    EXPECT_EQ(Str(sender->AddressText()), "10.0.0.7");
    EXPECT_EQ(sender->Address(), 0x0A000007u);
    EXPECT_EQ(sender->Port(), 51001u);
    delete sender;

    auto* server = new COscServerDlg(&root, nullptr, ModalSpec());
    Show(server);
    {
        testsupport::NestedLoopGuard guard;
        Inject(server, "\x1b");
        EXPECT_EQ(server->RunUntilResult(), 2u);
    }
    delete server;
}

}  // namespace
