#include "framework/Application.h"

TApplication::TApplication() { Name = "Application"; }

void TApplication::ProcessMessages() {
  if (MessagePump) MessagePump();
}

TApplication& Application() {
  static TApplication Instance;
  return Instance;
}
