#include <varn/framework/Component.h>

#include <algorithm>

namespace varn {

TComponent::TComponent(TComponent* AOwner) : FOwner(AOwner) {
  if (FOwner) FOwner->FComponents.push_back(this);
}

TComponent::~TComponent() {
  for (TComponent* Child : FComponents)
    Child->FOwner = nullptr;
  if (FOwner) std::erase(FOwner->FComponents, this);
}

}  // namespace varn
