#include "platform/platform_error.h"

namespace qb {

namespace {
std::string MessageFor(PlatformErrorKind kind, const std::string& subject) {
    switch (kind) {
    case PlatformErrorKind::InvalidDataType:
        return "Invalid data type for '" + subject + "'";
    case PlatformErrorKind::GetDataFailed:
        return "Failed to get data for '" + subject + "'";
    case PlatformErrorKind::SetDataFailed:
        return "Failed to set data for '" + subject + "'";
    case PlatformErrorKind::ProfileWriteFailed:
        return "Unable to write to " + subject;
    }
    return subject;
}
} // namespace

PlatformError::PlatformError(PlatformErrorKind kind, std::string subject)
    : std::runtime_error(MessageFor(kind, subject)), kind_(kind), subject_(std::move(subject)) {}

PlatformError PlatformError::InvalidDataType(std::string_view valueName) {
    return {PlatformErrorKind::InvalidDataType, std::string(valueName)};
}
PlatformError PlatformError::GetDataFailed(std::string_view valueName) {
    return {PlatformErrorKind::GetDataFailed, std::string(valueName)};
}
PlatformError PlatformError::SetDataFailed(std::string_view valueName) {
    return {PlatformErrorKind::SetDataFailed, std::string(valueName)};
}
PlatformError PlatformError::ProfileWriteFailed(std::string_view filePath) {
    return {PlatformErrorKind::ProfileWriteFailed, std::string(filePath)};
}

} // namespace qb
