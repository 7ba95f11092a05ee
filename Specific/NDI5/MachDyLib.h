#pragma once

// One dynamically opened library (RTLD_LOCAL); closed with the object.
class CMachDyLib {
public:
    explicit CMachDyLib(const char* path);
    ~CMachDyLib();
    CMachDyLib(const CMachDyLib&) = delete;
    CMachDyLib& operator=(const CMachDyLib&) = delete;

    bool IsOpen() const { return fHandle != nullptr; }
    // The symbol's address; null when missing or the library is not open.
    void* Find(const char* symbol) const;

private:
    void* fHandle = nullptr;
};
