#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace qb {

// The four platform failures that end the user's command in progress. Every other failure of the platform
// layer is a return value. The message text is what the user sees, exactly.
enum class PlatformErrorKind {
    InvalidDataType,   // "Invalid data type for '%s'"
    GetDataFailed,     // "Failed to get data for '%s'"
    SetDataFailed,     // "Failed to set data for '%s'"
    ProfileWriteFailed // "Unable to write to %s"
};

class PlatformError : public std::runtime_error {
public:
    PlatformError(PlatformErrorKind kind, std::string subject);

    static PlatformError InvalidDataType(std::string_view valueName);
    static PlatformError GetDataFailed(std::string_view valueName);
    static PlatformError SetDataFailed(std::string_view valueName);
    static PlatformError ProfileWriteFailed(std::string_view filePath);

    PlatformErrorKind Kind() const { return kind_; }
    // The value name or file path the message names.
    const std::string& Subject() const { return subject_; }

private:
    PlatformErrorKind kind_;
    std::string subject_;
};

} // namespace qb
