#pragma once
// Component base classes. A component has a name, a tag and an owner; the owner only keeps a
// list of the components it owns (who frees a component is decided by the C++ owner of the
// object, through std::unique_ptr or a member), and a component leaves that list when it dies.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace varn {

class TPersistent {
 public:
  virtual ~TPersistent() = default;
};

class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* AOwner = nullptr);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  std::string Name;
  int32_t Tag = 0;

  TComponent* Owner() const { return FOwner; }
  const std::vector<TComponent*>& Components() const { return FComponents; }

 private:
  TComponent* FOwner;
  std::vector<TComponent*> FComponents;
};

// The plain notification; an empty function is an event that is not assigned.
using TNotifyEvent = std::function<void(TComponent& Sender)>;

}  // namespace varn
