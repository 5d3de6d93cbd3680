#include "GuiPrompts.h"

#include <gtest/gtest.h>

namespace {

struct FilterCase {
    const char *original;
    const char *qt;
    const char *suffix;
};

void PrintTo(const FilterCase &c, std::ostream *os)
{
    *os << '"' << c.original << '"';
}

class FilterConversion : public ::testing::TestWithParam<FilterCase> {};

TEST_P(FilterConversion, BecomesQtFilterAndSuffix)
{
    const QString original = QString::fromUtf8(GetParam().original);
    EXPECT_EQ(q48::GuiPrompts::toQtFilter(original), QString::fromUtf8(GetParam().qt));
    EXPECT_EQ(q48::GuiPrompts::defaultSuffix(original), QString::fromUtf8(GetParam().suffix));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FilterConversion,
    ::testing::Values(
        // The label already names its pattern: kept as written.
        FilterCase{"PresetExportFile(*.sGEQ)|*.sGEQ", "PresetExportFile(*.sGEQ)", "sGEQ"},
        FilterCase{"MemoryExportFile(*.ept)|*.ept", "MemoryExportFile(*.ept)", "ept"},
        // Brackets that are not the pattern must not be read as one.
        FilterCase{"h(file)|*.h", "h(file) (*.h)", "h"},
        FilterCase{"(bin)|*.bin|(sg)|*.sg", "(bin) (*.bin);;(sg) (*.sg)", ""},
        // Several patterns of one line: separated by blanks for Qt.
        FilterCase{"Images|*.bin;*.sg", "Images (*.bin *.sg)", ""}, FilterCase{"All|*.*", "All (*.*)", ""},
        FilterCase{"Lonely label", "Lonely label (*)", ""}, FilterCase{"", "(*)", ""}));

} // namespace
