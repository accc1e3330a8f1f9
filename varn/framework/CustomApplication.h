#pragma once
// What the layers below the window framework need of the process's application object, without
// knowing the window framework: its message pump, which the archive component runs once per
// block it reads and once per block it writes, and its ownership of process-wide components
// (the shared version resource). The window framework's application object (varn/ui) is one
// and installs itself as the process's; a program without it, such as one that links the
// archive library alone, gets a plain one whose pump has nothing to dispatch.
#include <memory>
#include <vector>

#include <varn/framework/Component.h>

namespace varn {

class TCustomApplication : public TComponent {
 public:
  ~TCustomApplication() override;

  // Dispatches every pending message, then returns; nothing here.
  virtual void ProcessMessages() {}

  // Hands a component to the application object, which frees it when it is destroyed itself
  // (the last inserted first).
  TComponent& InsertOwned(std::unique_ptr<TComponent> Component);

 protected:
  // Frees the components handed over, the last first.
  void FreeOwned();

 private:
  std::vector<std::unique_ptr<TComponent>> FOwned;
};

// The process's application object: the installed one, made on first use; a plain one when
// none was installed.
TCustomApplication& ProcessApplication();

// Installs the function that gives the process's application object. The window framework
// installs its Application() before main, so every first use anywhere reaches the same object.
void InstallProcessApplication(TCustomApplication& (*Get)());

}  // namespace varn
