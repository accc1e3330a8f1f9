#include "framework/Application.h"

TApplication::TApplication() {
  Name = "Application";
}

void TApplication::ProcessMessages() {
  if (MessagePump) MessagePump();
}

TComponent& TApplication::InsertOwned(std::unique_ptr<TComponent> Component) {
  FOwned.push_back(std::move(Component));
  return *FOwned.back();
}

TApplication::~TApplication() {
  while (!FOwned.empty())
    FOwned.pop_back();
}

TApplication& Application() {
  static TApplication Instance;
  return Instance;
}
