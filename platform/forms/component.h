// TComponent: owner, name and owned components freed with their owner.
#pragma once

#include <any>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/forms/types.h"

namespace forms {

class TComponent;
class TFormLoader;
struct TPropValue;

class TComponent : public TObject {
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;  // frees owned components, last created first
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return FOwner; }
    const std::string& Name() const { return FName; }
    void SetName(const std::string& name);  // raises rtl::Exception when a sibling has the name

    int ComponentCount() const { return int(FComponents.size()); }
    TComponent* Components(int index) const;
    TComponent* FindComponent(const std::string& name) const;  // case-insensitive (ASCII)

    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);

    intptr_t Tag = 0;

    // The class name as form descriptions spell it ("TImage").
    virtual const char* ClassName() const { return "TComponent"; }

    // Form-description support: apply one property or bind one event by name. Return false when
    // the class has no such property/event; raise rtl::Exception when the value does not fit.
    virtual bool SetProperty(const std::string& name, const TPropValue& value, TFormLoader& loader);
    virtual bool SetEvent(const std::string& name, const std::any& handler);
    // Called after all properties of the whole description were applied.
    virtual void Loaded() {}

    // Makes a nested description object a child of this one (parent for controls, list for actions).
    virtual void AdoptChild(TComponent* child);

    // Runs while the whole object still exists, before any destructor (forms fire OnDestroy here).
    // Owners and Free() call it; a plain delete skips it.
    virtual void BeforeDestruction() {}
    // Frees the component the way its owner would.
    void Free();

protected:
    // Frees every owned component now (forms do it before their own parts go away).
    void DestroyComponents();
    // Removes a freed component from everything that refers to it (owned components override).
    virtual void Notification(TComponent* component, bool removing);

private:
    TComponent* FOwner = nullptr;
    std::string FName;
    std::vector<TComponent*> FComponents;
};

}  // namespace forms
