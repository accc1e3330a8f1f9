#pragma once
// The application object. It is process-wide, like the one window toolkit it fronts; the
// forms model and the toolkit backends build on it.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/Component.h"

class TApplication : public TComponent {
 public:
  TApplication();

  std::string Title;

  // The message pump: every pending message for the application's windows is dispatched, then
  // the call returns. It runs whatever the toolkit installed as MessagePump (tests script it);
  // with none installed there are no windows and nothing to do.
  void ProcessMessages();
  std::function<void()> MessagePump;

  // Hands a component to the application object, which frees it when it is destroyed itself
  // (the last inserted first).
  TComponent& InsertOwned(std::unique_ptr<TComponent> Component);
  ~TApplication() override;

 private:
  std::vector<std::unique_ptr<TComponent>> FOwned;
};

// The process's application object.
TApplication& Application();
