#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreUI/SchDateTime.h"
#include "Lib3/LSources/Mac/UDate.h"
#include "tests/support/TempDir.h"

namespace {

// Python's datetime reads each time in the zone; our fields come from ToLocal and GregorianOf.
TEST(UDatePeerTest, FieldsAndWeekdaysAgreeWithPython) {
    const double from = -3187296000.0;             // 1900-01-01 GMT
    const double to = 3155673600.0 + 86400 * 365;  // 2101-01-01 GMT
    std::mt19937_64 rng(19);
    std::vector<double> times;
    for (int i = 0; i < 3000; ++i)
        times.push_back(
            std::floor(from + (to - from) * (static_cast<double>(rng() >> 11) / 9007199254740992.0)) + 0.25);
    testsupport::TempDir dir;
    std::string input;
    for (double t : times) input += std::to_string(static_cast<long long>(std::floor(t))) + "\n";
    dir.Write("times", input);

    for (const char* zone : {"America/New_York", "Australia/Lord_Howe", "UTC"}) {
        setenv("TZ", zone, 1);
        tzset();
        const std::string cmd =
            std::string(
                "python3 -c \"import sys, datetime, zoneinfo\n"
                "z = zoneinfo.ZoneInfo('") +
            zone +
            "')\n"
            "for line in sys.stdin:\n"
            "    d = datetime.datetime.fromtimestamp(int(line) + 978307200.25, z)\n"
            "    print(d.year, d.month, d.day, d.hour, d.minute, d.second, d.isoweekday())\n\" < " +
            dir.File("times");
        FILE* p = popen(cmd.c_str(), "r");
        ASSERT_NE(p, nullptr);
        size_t i = 0;
        int y, mo, d, h, mi, s, dow;
        int mismatches = 0;
        while (fscanf(p, "%d %d %d %d %d %d %d", &y, &mo, &d, &h, &mi, &s, &dow) == 7 && i < times.size()) {
            const SGregorianDate g = UDate::GregorianOf(UDate::ToLocal(times[i]));
            const bool same = g.year == y && g.month == mo && g.day == d && g.hour == h && g.minute == mi &&
                              static_cast<int>(std::floor(g.second)) == s && g.dayOfWeek == dow;
            if (!same && ++mismatches < 5)
                ADD_FAILURE() << zone << " t=" << times[i] << " python " << y << "-" << mo << "-" << d << " "
                              << h << ":" << mi << ":" << s << " dow " << dow << " ours " << g.year << "-"
                              << int(g.month) << "-" << int(g.day) << " " << int(g.hour) << ":"
                              << int(g.minute) << ":" << g.second << " dow " << g.dayOfWeek;
            const uint8_t sunday0 = static_cast<uint8_t>(dow % 7);
            EXPECT_EQ(SchDateTime::WeekdayOf(static_cast<uint16_t>(y), static_cast<uint8_t>(mo),
                                             static_cast<uint8_t>(d)),
                      sunday0);
            ++i;
        }
        EXPECT_EQ(pclose(p), 0);
        EXPECT_EQ(i, times.size()) << zone;
        EXPECT_EQ(mismatches, 0) << zone;
    }
    unsetenv("TZ");
    tzset();
}

}  // namespace
