#include "updater/update_grid.h"

#include <algorithm>

#include "platform/forms/canvas.h"
#include "platform/forms/formdesc.h"
#include "platform/rtl/sysutils.h"

namespace viewer {

namespace {

constexpr int kMaxCols = 64;
constexpr int kMaxRows = 4096;
constexpr int kMaxCellIndex = 65535;
constexpr int kDefaultColWidth = 64;

bool CellIndexValid(int col, int row) { return col >= 0 && row >= 0 && col <= kMaxCellIndex && row <= kMaxCellIndex; }

}  // namespace

TStringGrid::TStringGrid(forms::TComponent* owner) : forms::TGraphicControl(owner), FColWidths(5, kDefaultColWidth) {}

void TStringGrid::SetColCount(int value) {
    FColWidths.resize(size_t(std::clamp(value, 1, kMaxCols)), kDefaultColWidth);
    Invalidate();
}

void TStringGrid::SetRowCount(int value) {
    FRowCount = std::clamp(value, 0, kMaxRows);
    Invalidate();
}

int TStringGrid::ColWidth(int col) const {
    return col >= 0 && col < ColCount() ? FColWidths[size_t(col)] : 0;
}

void TStringGrid::SetColWidth(int col, int width) {
    if (col < 0 || col >= ColCount()) return;
    FColWidths[size_t(col)] = std::max(0, width);
    Invalidate();
}

std::string TStringGrid::Cell(int col, int row) const {
    auto it = FCells.find({col, row});
    return it == FCells.end() ? std::string() : it->second;
}

void TStringGrid::SetCell(int col, int row, const std::string& text) {
    if (!CellIndexValid(col, row)) return;
    if (text.empty()) FCells.erase({col, row});
    else FCells[{col, row}] = text;
    Invalidate();
}

void TStringGrid::Paint(forms::TCanvas& canvas) {
    canvas.Font = Font;
    canvas.Brush.Style = forms::bsClear;
    int y = 0;
    for (int row = 0; row < FRowCount && y < Height(); ++row, y += DefaultRowHeight) {
        int x = 0;
        for (int col = 0; col < ColCount() && x < Width(); ++col) {
            const std::string text = Cell(col, row);
            if (!text.empty()) canvas.TextOut(x + 2, y + 1, text);
            x += FColWidths[size_t(col)];
        }
    }
}

bool TStringGrid::SetProperty(const std::string& name, const forms::TPropValue& value, forms::TFormLoader& loader) {
    if (rtl::SameText(name, "ColCount")) {
        SetColCount(value.AsInt(1, kMaxCols));
    } else if (rtl::SameText(name, "RowCount")) {
        SetRowCount(value.AsInt(0, kMaxRows));
    } else if (rtl::SameText(name, "DefaultRowHeight")) {
        DefaultRowHeight = value.AsInt(1, 1000);
    } else if (rtl::SameText(name, "ColWidths")) {
        // A set of widths in column order: ColWidths = ["284", "72"].
        SetColCount(std::max<int>(ColCount(), int(std::min<size_t>(value.items.size(), kMaxCols))));
        for (size_t i = 0; i < value.items.size() && i < size_t(kMaxCols); ++i)
            SetColWidth(int(i), std::clamp(rtl::StrToIntDef(value.items[i], 0), 0, 10000));
    } else if (rtl::SameText(name, "FixedCols") || rtl::SameText(name, "FixedRows") ||
               rtl::SameText(name, "BorderStyle") || rtl::SameText(name, "Options") ||
               rtl::SameText(name, "ScrollBars")) {
        // Display-only grid of plain rows: no fixed cells, border or scroll bars are drawn.
    } else {
        return forms::TGraphicControl::SetProperty(name, value, loader);
    }
    return true;
}

void RegisterStringGridClass() {
    forms::RegisterComponentClass("TStringGrid", [](forms::TComponent* owner) { return new TStringGrid(owner); });
}

}  // namespace viewer
