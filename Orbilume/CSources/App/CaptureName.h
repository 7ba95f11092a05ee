#pragma once

#include <ctime>
#include <string>

// Names of captured stills and movies: "ob YYYY_MM_DD hh_mm_ss.<ext>" of the local time in the
// folder "Orbilume Capture" inside Documents (made when missing). A name that exists, or that this
// process already handed out, gets " 2", " 3", … before the extension, so two captures in one
// second never share a file. Main thread only.
class CaptureName {
public:
    // The folder, made when missing; empty when it cannot be made.
    static std::string Folder();
    // The next free path for the extension at the given time (the current time when 0); empty
    // when the folder cannot be made.
    static std::string Next(const char* extension, std::time_t when = 0);
    // The base name for a local time ("ob 2024_05_01 21_07_09").
    static std::string BaseName(const std::tm& local);
    // Tests: the clock the names read (null: the system's).
    static void SetClock(std::time_t (*clock)());
};
