#include <varn/framework/platform/VersionInfo.h>

namespace varn::platform {

bool VersionInfoApiAvailable() {
  return false;
}

uint16_t UserDefaultLanguage() {
  return 0;
}

uint32_t GetVersionInfoSize(const std::string&, uint32_t& Handle) {
  Handle = 0;
  return 0;
}

bool GetVersionInfo(const std::string&, uint32_t, uint32_t, void*) {
  return false;
}

bool QueryVersionValue(const void*, const std::string&, const void*& Value, uint32_t& Length) {
  Value = nullptr;
  Length = 0;
  return false;
}

std::string VersionInfoLibraryPath() {
  return std::string();
}

}  // namespace varn::platform
