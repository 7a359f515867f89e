// Form descriptions: a text file per window in the resources folder (format in resources/README.md),
// the class registry used to create its components, and the per-form-class table that binds
// component fields and handler methods by name.
#pragma once

#include <any>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/component.h"
#include "platform/rtl/exceptions.h"

namespace forms {

class TForm;
class TBitmap;

// Where form descriptions and their pictures live (Windows-style path, trailing "\").
// Default: the environment variable TOME_RESOURCES when set, else "resources\" beside the
// program's folder's parent (build/bin → build/resources), else beside the program.
void SetResourcesFolder(const std::string& folder);
std::string ResourcesFolder();
std::string ResourcePath(const std::string& relativeName);  // "/" or "\" separated

// One property value as written in a description.
struct TPropValue {
    enum Kind { Integer, String, Identifier, Set } kind = Integer;
    int64_t integer = 0;
    std::string text;                 // String: cp1251 bytes; Identifier: the word
    std::vector<std::string> items;   // Set: the words between [ ]
    int line = 0;

    int64_t AsInteger() const;        // integers (and True/False as 1/0)
    int AsInt(int min, int max) const;  // an integer within [min, max], else EConvertError
    bool AsBoolean() const;           // True/False
    const std::string& AsString() const;
    const std::string& AsIdentifier() const;
};

// The raising of a description error: file, line and what went wrong.
class EFormDescriptionError : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};

// Per-form-class table: fields (component pointers) and handlers (member functions) by name.
class TFormClass {
public:
    TFormClass(std::string className, std::string descriptionFile)
        : FClassName(std::move(className)), FFile(std::move(descriptionFile)) {}
    const std::string& ClassName() const { return FClassName; }
    const std::string& DescriptionFile() const { return FFile; }

    using FieldSetter = std::function<bool(TForm& form, TComponent* component)>;
    using HandlerMaker = std::function<std::any(TForm& form)>;

    void AddField(const std::string& name, FieldSetter setter) { FFields[Key(name)] = std::move(setter); }
    void AddHandler(const std::string& name, HandlerMaker maker) { FHandlers[Key(name)] = std::move(maker); }
    const FieldSetter* FindField(const std::string& name) const;
    const HandlerMaker* FindHandler(const std::string& name) const;

private:
    static std::string Key(const std::string& name);
    std::string FClassName;
    std::string FFile;
    std::map<std::string, FieldSetter> FFields;
    std::map<std::string, HandlerMaker> FHandlers;
};

// Typed helpers over TFormClass for a form class F:
//   static TFormTable<TForm1> table("TForm1", "main.frm");
//   table.Field("header", &TForm1::header).Handler("FormShow", &TForm1::FormShow);
template <class F>
class TFormTable : public TFormClass {
public:
    using TFormClass::TFormClass;

    template <class C>
    TFormTable& Field(const std::string& name, C* F::*member) {
        AddField(name, [member](TForm& form, TComponent* component) {
            C* typed = dynamic_cast<C*>(component);
            if (!typed) return false;
            static_cast<F&>(form).*member = typed;
            return true;
        });
        return *this;
    }

    template <class... Args>
    TFormTable& Handler(const std::string& name, void (F::*method)(Args...)) {
        AddHandler(name, [method](TForm& form) -> std::any {
            F* self = static_cast<F*>(&form);
            return std::function<void(Args...)>(
                [self, method](Args... args) { (self->*method)(std::forward<Args>(args)...); });
        });
        return *this;
    }
};

// Creates components by class name ("TImage"); the library registers its own classes, other
// libraries (web, media, controls) add theirs.
using TComponentFactory = std::function<TComponent*(TComponent* owner)>;
void RegisterComponentClass(const std::string& className, TComponentFactory factory);
TComponent* CreateComponentOfClass(const std::string& className, TComponent* owner);  // null if unknown

// Loads one description into a form: creates the components, applies properties in file order,
// binds fields and handlers, then calls Loaded on every component.
class TFormLoader {
public:
    TFormLoader(TForm& form, const TFormClass& formClass, std::string fileName);
    void LoadFromFile(const std::string& path);
    void LoadFromText(const std::string& text);  // UTF-8 text; strings become cp1251

    // For SetProperty implementations.
    std::string PicturePath(const std::string& relativeName) const;  // relative to the resources
    void LoadPicture(const std::string& relativeName, TBitmap& into) const;
    TComponent* FindComponent(const std::string& name) const;
    [[noreturn]] void Fail(int line, const std::string& message) const;
    TForm& Form() { return FForm; }
    // Binds the handler named by value to the component's event.
    void ApplyEvent(TComponent& component, const std::string& eventName, const TPropValue& value);
    // The class name a description uses for the component (the form's own class for the form).
    std::string ClassNameOf(const TComponent& component) const;

private:
    TForm& FForm;
    const TFormClass& FClass;
    std::string FFileName;
};

// Applies a "Name = Value" assignment: an event when the name begins with "On", else a property.
void ApplyProperty(TComponent& component, const std::string& name, const TPropValue& value, TFormLoader& loader);

// Identifier values shared by many properties (colours, cursors, enumerations, booleans).
bool IdentToColor(const std::string& ident, TColor& color);
bool IdentToCursor(const std::string& ident, TCursor& cursor);
TColor PropColor(const TPropValue& value, TFormLoader& loader);
TCursor PropCursor(const TPropValue& value, TFormLoader& loader);
// An identifier from a fixed list (an enumeration): its index.
int PropChoice(const TPropValue& value, TFormLoader& loader, std::initializer_list<const char*> names);

}  // namespace forms

namespace forms {

// Stores a bound handler into an event slot; raises EFormDescriptionError when the handler's
// parameters do not fit the event.
template <class E>
void AssignEvent(E& slot, const std::any& handler, const std::string& eventName) {
    if (const E* typed = std::any_cast<E>(&handler)) {
        slot = *typed;
        return;
    }
    throw rtl::Exception("Handler parameters do not fit " + eventName);
}

}  // namespace forms
