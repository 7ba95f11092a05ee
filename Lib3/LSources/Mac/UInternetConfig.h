#pragma once

// Opens URLs in the user's default application.
class UInternetConfig {
public:
    // Hands the whole text to the platform's URL opener; false when it could not be started.
    [[nodiscard]] static bool LaunchURL(const unsigned char* url);
};
