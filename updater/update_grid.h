// TStringGrid: the display-only text grid of the update dialog's list page. Cells hold cp1251 text;
// cells outside RowCount x ColCount are kept but not drawn, as the class library's grid keeps them.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/forms/control.h"

namespace viewer {

class TStringGrid : public forms::TGraphicControl {
public:
    explicit TStringGrid(forms::TComponent* owner);
    const char* ClassName() const override { return "TStringGrid"; }

    int ColCount() const { return int(FColWidths.size()); }
    void SetColCount(int value);  // 1..64
    int RowCount() const { return FRowCount; }
    void SetRowCount(int value);  // 0..4096
    int DefaultRowHeight = 24;
    int ColWidth(int col) const;
    void SetColWidth(int col, int width);

    // Cell text; any non-negative column and row (up to 65535) is accepted.
    std::string Cell(int col, int row) const;
    void SetCell(int col, int row, const std::string& text);
    void ClearCells() { FCells.clear(), Invalidate(); }

    void Paint(forms::TCanvas& canvas) override;
    bool SetProperty(const std::string& name, const forms::TPropValue& value, forms::TFormLoader& loader) override;

private:
    std::vector<int> FColWidths;
    int FRowCount = 5;
    std::map<std::pair<int, int>, std::string> FCells;
};

// Lets form descriptions create "TStringGrid" components (repeating is harmless).
void RegisterStringGridClass();

}  // namespace viewer
