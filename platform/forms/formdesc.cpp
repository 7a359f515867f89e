#include "platform/forms/formdesc.h"

#include <cstdlib>

#include "platform/forms/actions.h"
#include "platform/forms/bitmap.h"
#include "platform/forms/edit.h"
#include "platform/forms/form.h"
#include "platform/forms/image.h"
#include "platform/forms/menus.h"
#include "platform/forms/panel.h"
#include "platform/forms/timer.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/textfile.h"

namespace forms {

// ---- resources folder ----

namespace {

std::string& ResourcesOverride() {
    static std::string folder;
    return folder;
}

std::string DefaultResourcesFolder() {
    if (const char* env = std::getenv("TOME_RESOURCES"); env && *env)
        return rtl::IncludeTrailingBackslash(rtl::FromNativePath(env));
    std::string program = rtl::ProgramFolder();
    if (rtl::DirectoryExists(program + "resources")) return program + "resources\\";
    return rtl::ExpandFileName(program + "..\\resources\\");
}

}  // namespace

void SetResourcesFolder(const std::string& folder) {
    ResourcesOverride() = folder.empty() ? std::string() : rtl::IncludeTrailingBackslash(folder);
}

std::string ResourcesFolder() {
    return ResourcesOverride().empty() ? DefaultResourcesFolder() : ResourcesOverride();
}

std::string ResourcePath(const std::string& relativeName) {
    std::string name = relativeName;
    for (char& c : name)
        if (c == '/') c = '\\';
    if (rtl::IsFullPath(name)) return name;
    return ResourcesFolder() + name;
}

// ---- values ----

int64_t TPropValue::AsInteger() const {
    if (kind == Integer) return integer;
    if (kind == Identifier && rtl::SameText(text, "True")) return 1;
    if (kind == Identifier && rtl::SameText(text, "False")) return 0;
    throw rtl::EConvertError("Integer value expected");
}

int TPropValue::AsInt(int min, int max) const {
    int64_t v = AsInteger();
    if (v < min || v > max) throw rtl::EConvertError("Value out of range");
    return int(v);
}

bool TPropValue::AsBoolean() const {
    if (kind == Identifier && rtl::SameText(text, "True")) return true;
    if (kind == Identifier && rtl::SameText(text, "False")) return false;
    if (kind == Integer) return integer != 0;
    throw rtl::EConvertError("True or False expected");
}

const std::string& TPropValue::AsString() const {
    if (kind != String) throw rtl::EConvertError("String value expected");
    return text;
}

const std::string& TPropValue::AsIdentifier() const {
    if (kind != Identifier) throw rtl::EConvertError("Identifier expected");
    return text;
}

// ---- class tables ----

std::string TFormClass::Key(const std::string& name) { return rtl::LowerCase(name); }

const TFormClass::FieldSetter* TFormClass::FindField(const std::string& name) const {
    auto it = FFields.find(Key(name));
    return it == FFields.end() ? nullptr : &it->second;
}

const TFormClass::HandlerMaker* TFormClass::FindHandler(const std::string& name) const {
    auto it = FHandlers.find(Key(name));
    return it == FHandlers.end() ? nullptr : &it->second;
}

namespace {

std::map<std::string, TComponentFactory>& ClassRegistry() {
    static std::map<std::string, TComponentFactory> registry = [] {
        std::map<std::string, TComponentFactory> r;
        r["timage"] = [](TComponent* o) { return new TImage(o); };
        r["tpanel"] = [](TComponent* o) { return new TPanel(o); };
        r["tedit"] = [](TComponent* o) { return new TEdit(o); };
        r["ttimer"] = [](TComponent* o) { return new TTimer(o); };
        r["tactionlist"] = [](TComponent* o) { return new TActionList(o); };
        r["taction"] = [](TComponent* o) { return new TAction(o); };
        r["tpopupmenu"] = [](TComponent* o) { return new TPopupMenu(o); };
        r["tmenuitem"] = [](TComponent* o) { return new TMenuItem(o); };
        return r;
    }();
    return registry;
}

}  // namespace

void RegisterComponentClass(const std::string& className, TComponentFactory factory) {
    ClassRegistry()[rtl::LowerCase(className)] = std::move(factory);
}

TComponent* CreateComponentOfClass(const std::string& className, TComponent* owner) {
    auto it = ClassRegistry().find(rtl::LowerCase(className));
    return it == ClassRegistry().end() ? nullptr : it->second(owner);
}

// ---- identifiers ----

bool IdentToColor(const std::string& ident, TColor& color) {
    static const std::pair<const char*, TColor> colors[] = {
        {"clBlack", clBlack}, {"clMaroon", clMaroon}, {"clGreen", clGreen}, {"clOlive", clOlive},
        {"clNavy", clNavy}, {"clPurple", clPurple}, {"clTeal", clTeal}, {"clGray", clGray},
        {"clSilver", clSilver}, {"clRed", clRed}, {"clLime", clLime}, {"clYellow", clYellow},
        {"clBlue", clBlue}, {"clFuchsia", clFuchsia}, {"clAqua", clAqua}, {"clWhite", clWhite},
        {"clNone", clNone}, {"clDefault", clDefault}, {"clScrollBar", clScrollBar},
        {"clBackground", clBackground}, {"clWindow", clWindow}, {"clWindowText", clWindowText},
        {"clBtnFace", clBtnFace}, {"clBtnShadow", clBtnShadow}, {"clGrayText", clGrayText},
        {"clBtnText", clBtnText}, {"clBtnHighlight", clBtnHighlight}, {"clInfoBk", clInfoBk}};
    for (auto& [name, value] : colors)
        if (rtl::SameText(ident, name)) {
            color = value;
            return true;
        }
    return false;
}

bool IdentToCursor(const std::string& ident, TCursor& cursor) {
    static const std::pair<const char*, TCursor> cursors[] = {
        {"crDefault", crDefault}, {"crNone", crNone}, {"crArrow", crArrow}, {"crCross", crCross},
        {"crIBeam", crIBeam}, {"crSizeNESW", crSizeNESW}, {"crSizeNS", crSizeNS}, {"crSizeNWSE", crSizeNWSE},
        {"crSizeWE", crSizeWE}, {"crUpArrow", crUpArrow}, {"crHourGlass", crHourGlass}, {"crDrag", crDrag},
        {"crNoDrop", crNoDrop}, {"crNo", crNo}, {"crAppStart", crAppStart}, {"crHelp", crHelp}, {"crHandPoint", crHandPoint},
        {"crSizeAll", crSizeAll}};
    for (auto& [name, value] : cursors)
        if (rtl::SameText(ident, name)) {
            cursor = value;
            return true;
        }
    return false;
}

TColor PropColor(const TPropValue& value, TFormLoader& loader) {
    if (value.kind == TPropValue::Integer) return TColor(value.integer);
    TColor color = clBlack;
    if (!IdentToColor(value.AsIdentifier(), color)) loader.Fail(value.line, "Unknown colour " + value.text);
    return color;
}

TCursor PropCursor(const TPropValue& value, TFormLoader& loader) {
    if (value.kind == TPropValue::Integer) {
        if (value.integer < -32768 || value.integer > 32767) loader.Fail(value.line, "Cursor out of range");
        return TCursor(value.integer);
    }
    TCursor cursor = crDefault;
    if (!IdentToCursor(value.AsIdentifier(), cursor)) loader.Fail(value.line, "Unknown cursor " + value.text);
    return cursor;
}

int PropChoice(const TPropValue& value, TFormLoader& loader, std::initializer_list<const char*> names) {
    const std::string& id = value.AsIdentifier();
    int index = 0;
    for (const char* name : names) {
        if (rtl::SameText(id, name)) return index;
        ++index;
    }
    loader.Fail(value.line, "Unknown value " + id);
}

// ---- parsing ----

namespace {

bool IsIdentStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsIdentChar(char c) { return IsIdentStart(c) || (c >= '0' && c <= '9') || c == '.'; }

struct Cursor {
    const std::string& s;
    size_t i = 0;
    void SkipSpace() {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    }
    bool AtEnd() {
        SkipSpace();
        return i >= s.size();
    }
};

bool ParseString(Cursor& c, std::string& out) {
    if (c.i >= c.s.size() || c.s[c.i] != '"') return false;
    ++c.i;
    std::string utf8;
    while (c.i < c.s.size()) {
        char ch = c.s[c.i++];
        if (ch == '"') {
            out = rtl::Utf8ToCp1251(utf8);
            return true;
        }
        if (ch == '\\') {
            if (c.i >= c.s.size()) return false;
            char e = c.s[c.i++];
            if (e == 'n') utf8 += '\n';
            else if (e == 'r') utf8 += '\r';
            else if (e == 't') utf8 += '\t';
            else if (e == '"' || e == '\\') utf8 += e;
            else return false;
        } else {
            utf8 += ch;
        }
    }
    return false;
}

bool ParseIdent(Cursor& c, std::string& out) {
    c.SkipSpace();
    size_t start = c.i;
    if (c.i >= c.s.size() || !IsIdentStart(c.s[c.i])) return false;
    while (c.i < c.s.size() && IsIdentChar(c.s[c.i])) ++c.i;
    out = c.s.substr(start, c.i - start);
    return true;
}

bool ParseInteger(Cursor& c, int64_t& out) {
    std::string digits;
    bool negative = false;
    if (c.s[c.i] == '-') {
        negative = true;
        ++c.i;
    }
    int base = 10;
    if (c.i < c.s.size() && c.s[c.i] == '$') {
        base = 16;
        ++c.i;
    } else if (c.i + 1 < c.s.size() && c.s[c.i] == '0' && (c.s[c.i + 1] == 'x' || c.s[c.i + 1] == 'X')) {
        base = 16;
        c.i += 2;
    }
    uint64_t value = 0;
    size_t start = c.i;
    while (c.i < c.s.size()) {
        char ch = c.s[c.i];
        int d = ch >= '0' && ch <= '9' ? ch - '0'
                : base == 16 && ch >= 'a' && ch <= 'f' ? ch - 'a' + 10
                : base == 16 && ch >= 'A' && ch <= 'F' ? ch - 'A' + 10
                : -1;
        if (d < 0) break;
        value = value * uint64_t(base) + uint64_t(d);
        if (value > (uint64_t(1) << 40)) return false;  // far beyond any property's range
        ++c.i;
    }
    if (c.i == start) return false;
    out = negative ? -int64_t(value) : int64_t(value);
    return true;
}

bool ParseValue(const std::string& text, TPropValue& value) {
    Cursor c{text};
    c.SkipSpace();
    if (c.i >= text.size()) return false;
    char first = text[c.i];
    if (first == '"') {
        value.kind = TPropValue::String;
        if (!ParseString(c, value.text)) return false;
    } else if (first == '[') {
        value.kind = TPropValue::Set;
        ++c.i;
        c.SkipSpace();
        if (c.i < text.size() && text[c.i] == ']') {
            ++c.i;
        } else {
            for (;;) {
                c.SkipSpace();
                std::string item;
                if (c.i < text.size() && text[c.i] == '"') {
                    if (!ParseString(c, item)) return false;
                } else if (!ParseIdent(c, item)) {
                    return false;
                }
                value.items.push_back(item);
                c.SkipSpace();
                if (c.i >= text.size()) return false;
                if (text[c.i] == ']') {
                    ++c.i;
                    break;
                }
                if (text[c.i] != ',') return false;
                ++c.i;
            }
        }
    } else if (first == '-' || first == '$' || (first >= '0' && first <= '9')) {
        value.kind = TPropValue::Integer;
        if (!ParseInteger(c, value.integer)) return false;
    } else {
        value.kind = TPropValue::Identifier;
        if (!ParseIdent(c, value.text)) return false;
    }
    return c.AtEnd();
}

}  // namespace

// ---- loader ----

TFormLoader::TFormLoader(TForm& form, const TFormClass& formClass, std::string fileName)
    : FForm(form), FClass(formClass), FFileName(std::move(fileName)) {}

void TFormLoader::Fail(int line, const std::string& message) const {
    throw EFormDescriptionError(FFileName + "(" + rtl::IntToStr(line) + "): " + message);
}

std::string TFormLoader::PicturePath(const std::string& relativeName) const { return ResourcePath(relativeName); }

void TFormLoader::LoadPicture(const std::string& relativeName, TBitmap& into) const {
    into.LoadFromFile(PicturePath(relativeName));
}

TComponent* TFormLoader::FindComponent(const std::string& name) const { return FForm.FindComponent(name); }

void TFormLoader::LoadFromFile(const std::string& path) {
    std::string text;
    try {
        text = rtl::ReadFileBytes(path);
    } catch (const rtl::Exception& e) {
        throw EFormDescriptionError(e.Message());  // it names the file
    }
    LoadFromText(text);
}

void ApplyProperty(TComponent& component, const std::string& name, const TPropValue& value, TFormLoader& loader) {
    bool isEvent = name.size() > 2 && name[0] == 'O' && name[1] == 'n' && name[2] >= 'A' && name[2] <= 'Z';
    if (isEvent) {
        loader.ApplyEvent(component, name, value);
        return;
    }
    if (!component.SetProperty(name, value, loader))
        loader.Fail(value.line, loader.ClassNameOf(component) + " has no property " + name);
}

std::string TFormLoader::ClassNameOf(const TComponent& component) const {
    return &component == &FForm ? FClass.ClassName() : std::string(component.ClassName());
}

void TFormLoader::ApplyEvent(TComponent& component, const std::string& name, const TPropValue& value) {
    const std::string& handlerName = value.AsIdentifier();
    const TFormClass::HandlerMaker* maker = FClass.FindHandler(handlerName);
    if (!maker) Fail(value.line, FClass.ClassName() + " has no handler " + handlerName);
    if (!component.SetEvent(name, (*maker)(FForm)))
        Fail(value.line, ClassNameOf(component) + " has no event " + name);
}

void TFormLoader::LoadFromText(const std::string& text) {
    std::vector<std::string> lines = rtl::SplitLines(text);
    std::vector<TComponent*> stack;      // enclosing objects; the form first
    std::vector<TComponent*> created;    // in creation order, for Loaded
    bool formSeen = false;
    for (size_t index = 0; index < lines.size(); ++index) {
        int line = int(index) + 1;
        std::string s = rtl::Trim(lines[index]);
        if (index == 0 && s.size() >= 3 && s.compare(0, 3, "\xEF\xBB\xBF") == 0) s = rtl::Trim(s.substr(3));
        if (s.empty() || s[0] == '#') continue;
        try {
            Cursor c{s};
            std::string word;
            if (!ParseIdent(c, word)) Fail(line, "Unreadable line");
            if (rtl::SameText(word, "end") && c.AtEnd()) {
                if (stack.empty()) Fail(line, "\"end\" without \"object\"");
                stack.pop_back();
                continue;
            }
            if (rtl::SameText(word, "object")) {
                std::string name, className;
                if (!ParseIdent(c, name)) Fail(line, "Object name expected");
                c.SkipSpace();
                if (c.i >= s.size() || s[c.i] != ':') Fail(line, "\":\" expected after the object name");
                ++c.i;
                if (!ParseIdent(c, className) || !c.AtEnd()) Fail(line, "Class name expected");
                if (!formSeen) {
                    if (!rtl::SameText(className, FClass.ClassName()))
                        Fail(line, "The description is of " + className + ", not " + FClass.ClassName());
                    formSeen = true;
                    FForm.SetName(name);
                    stack.push_back(&FForm);
                    continue;
                }
                if (stack.empty()) Fail(line, "Only one top-level object is allowed");
                if (FForm.FindComponent(name)) Fail(line, "Duplicate component name " + name);
                TComponent* component = CreateComponentOfClass(className, &FForm);
                if (!component) Fail(line, "Unknown class " + className);
                component->SetName(name);
                created.push_back(component);
                if (const TFormClass::FieldSetter* field = FClass.FindField(name); field && !(*field)(FForm, component))
                    Fail(line, "Field " + name + " is not of class " + className);
                stack.back()->AdoptChild(component);
                stack.push_back(component);
                continue;
            }
            if (stack.empty()) Fail(line, "Property outside an object");
            c.SkipSpace();
            if (c.i >= s.size() || s[c.i] != '=') Fail(line, "\"=\" expected");
            TPropValue value;
            value.line = line;
            if (!ParseValue(s.substr(c.i + 1), value)) Fail(line, "Unreadable value");
            ApplyProperty(*stack.back(), word, value, *this);
        } catch (const EFormDescriptionError&) {
            throw;
        } catch (const rtl::Exception& e) {
            Fail(line, e.Message());
        }
    }
    if (!formSeen) Fail(int(lines.size()), "No object in the description");
    if (!stack.empty()) Fail(int(lines.size()), "\"end\" missing");
    for (TComponent* component : created) component->Loaded();
    FForm.Loaded();
}

}  // namespace forms
