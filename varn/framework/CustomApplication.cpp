#include <varn/framework/CustomApplication.h>

namespace varn {

namespace {

// Constant-initialized, so an installation made while other objects are initialized before
// main is never overwritten.
using TGetApplication = TCustomApplication& (*)();
constinit TGetApplication InstalledApplication = nullptr;

}  // namespace

TCustomApplication::~TCustomApplication() {
  FreeOwned();
}

TComponent& TCustomApplication::InsertOwned(std::unique_ptr<TComponent> Component) {
  FOwned.push_back(std::move(Component));
  return *FOwned.back();
}

void TCustomApplication::FreeOwned() {
  while (!FOwned.empty())
    FOwned.pop_back();
}

TCustomApplication& ProcessApplication() {
  if (InstalledApplication) return InstalledApplication();
  static TCustomApplication Plain;
  return Plain;
}

void InstallProcessApplication(TCustomApplication& (*Get)()) {
  InstalledApplication = Get;
}

}  // namespace varn
