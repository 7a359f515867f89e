#include "viewer/forms.h"

#include "platform/forms/formdesc.h"
#include "viewer/main.h"
#include "viewer/parse.h"
#include "viewer/prepare.h"
#include "viewer/search_mod.h"

namespace viewer {

namespace {

template <class F>
const forms::TFormTable<F>& PlainTable(const char* className, const char* file) {
    static const forms::TFormTable<F> table(className, file);
    return table;
}

}  // namespace

TForm3::TForm3(forms::TComponent* owner) : forms::TForm(owner) { InitForm(PlainTable<TForm3>("TForm3", "Form3.frm")); }

void TForm3::RunSearch() {
    search::RunSearch(Form1->searcher->Text(), AppDir, SearchTemplate,
                      [](const std::string& path) { Form1->OpenPage(path); });
}

TForm4::TForm4(forms::TComponent* owner) : forms::TForm(owner) { InitForm(PlainTable<TForm4>("TForm4", "Form4.frm")); }

void TForm4::BuildPage(const std::string& PageName, std::string& ComposedPath) {
    ComposePage(AppDir, PageName, ComposedPath);
}

}  // namespace viewer
