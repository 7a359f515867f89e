#include "platform/forms/component.h"

#include <algorithm>

#include "platform/forms/formdesc.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"

namespace forms {

TComponent::TComponent(TComponent* owner) {
    if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
    DestroyComponents();
    if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::DestroyComponents() {
    // Last created first; each one removes itself from the list as it goes.
    while (!FComponents.empty()) FComponents.back()->Free();
}

void TComponent::Free() {
    BeforeDestruction();
    delete this;
}

void TComponent::SetName(const std::string& name) {
    if (rtl::LowerCase(name) == rtl::LowerCase(FName)) {
        FName = name;
        return;
    }
    if (FOwner && !name.empty() && FOwner->FindComponent(name))
        throw rtl::Exception("A component named " + name + " already exists");
    FName = name;
}

TComponent* TComponent::Components(int index) const {
    if (index < 0 || size_t(index) >= FComponents.size()) throw rtl::Exception("List index out of bounds");
    return FComponents[size_t(index)];
}

TComponent* TComponent::FindComponent(const std::string& name) const {
    if (name.empty()) return nullptr;
    std::string key = rtl::LowerCase(name);
    for (TComponent* c : FComponents)
        if (rtl::LowerCase(c->FName) == key) return c;
    return nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
    if (component->FOwner) component->FOwner->RemoveComponent(component);
    FComponents.push_back(component);
    component->FOwner = this;
}

void TComponent::RemoveComponent(TComponent* component) {
    auto it = std::find(FComponents.begin(), FComponents.end(), component);
    if (it == FComponents.end()) return;
    FComponents.erase(it);
    component->FOwner = nullptr;
    Notification(component, true);
}

void TComponent::Notification(TComponent* component, bool removing) {
    for (TComponent* c : FComponents)
        if (c != component) c->Notification(component, removing);
}

bool TComponent::SetProperty(const std::string& name, const TPropValue& value, TFormLoader&) {
    if (rtl::SameText(name, "Tag")) {
        Tag = intptr_t(value.AsInteger());
        return true;
    }
    return false;
}

bool TComponent::SetEvent(const std::string&, const std::any&) { return false; }

void TComponent::AdoptChild(TComponent*) {}

}  // namespace forms
