// The property control adapters: which adapter a parameter gets, the conversions in both
// directions, their errors, and the grid refresh from a parameter set.

#include <gtest/gtest.h>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <typeinfo>

#include "DialogTestSupport.h"
#include "dialog/PropertyControlAdapter.h"
#include "dialog/PropertyControlAdapterBool.h"
#include "dialog/PropertyControlAdapterEnum.h"
#include "dialog/PropertyControlAdapterFloat.h"
#include "dialog/PropertyControlAdapterInt.h"
#include "dialog/PropertyControlAdapterRegistry.h"
#include "dialog/PropertyControlAdapterString.h"
#include "dialog/PropertyGrid.h"
#include "parameters/CameraParameters.h"
#include "parameters/Param.h"
#include "parameters/ParamEnum.h"

namespace {

// A parameter class that has no adapter of its own.
class DerivedInt : public Param<int> {
  public:
    DerivedInt() : Param<int>("Cat", "Derived", 1) {}
};

class PropertyControlAdapterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(RequireGui());
        grid = std::make_unique<PropertyGrid>();
        section = grid->AddSection("S");
    }

    static std::shared_ptr<PropertyControlAdapter> Adapter(Param_& parameter) {
        return PropertyControlAdapterRegistry::GetAdapter(&parameter);
    }

    // Runs the body and returns the exception's text, "" when none was thrown.
    template <typename Exception, typename Body>
    static std::string Failure(Body body) {
        try {
            body();
        } catch (const Exception& e) {
            return e.what();
        }
        return "";
    }

    std::unique_ptr<PropertyGrid> grid;
    int section = -1;
};

// --- Registry ---------------------------------------------------------------------------------

TEST_F(PropertyControlAdapterTest, EachParameterClassGetsItsOwnSharedAdapter) {
    Param<bool> b("C", "b", true);
    Param<int> i("C", "i", 1);
    Param<unsigned> u("C", "u", 1u);
    Param<int64_t> l("C", "l", 1);
    Param<double> d("C", "d", 1.0);
    Param<std::string> s("C", "s", "x");
    ParamEnum e("C", "e", "");
    EXPECT_NE(dynamic_cast<PropertyControlAdapterBool*>(Adapter(b).get()), nullptr);
    EXPECT_NE(dynamic_cast<PropertyControlAdapterInt<int>*>(Adapter(i).get()), nullptr);
    EXPECT_NE(dynamic_cast<PropertyControlAdapterInt<unsigned>*>(Adapter(u).get()), nullptr);
    EXPECT_NE(dynamic_cast<PropertyControlAdapterInt<int64_t>*>(Adapter(l).get()), nullptr);
    EXPECT_NE(dynamic_cast<PropertyControlAdapterFloat*>(Adapter(d).get()), nullptr);
    EXPECT_EQ(typeid(*Adapter(s)), typeid(PropertyControlAdapterString));
    EXPECT_NE(dynamic_cast<PropertyControlAdapterEnum*>(Adapter(e).get()), nullptr);
    EXPECT_EQ(Adapter(b), Adapter(b));  // one instance per class
}

TEST_F(PropertyControlAdapterTest, ClassesWithoutAnAdapterAreUnsupported) {
    DerivedInt derived;
    EXPECT_EQ(Failure<std::runtime_error>([&] { Adapter(derived); }), "Unsupported parameter type");
    EXPECT_EQ(
        Failure<std::runtime_error>([] { PropertyControlAdapterRegistry::GetAdapter(nullptr); }),
        "Unsupported parameter type");
}

// --- Creating items -----------------------------------------------------------------------------

TEST_F(PropertyControlAdapterTest, CreateItemCopiesNameValueFormatAndWritable) {
    Param<int64_t> hex("C", "Hex", 255);
    hex.SetOption("Format", std::string("%X"));
    hex.mWritable = false;
    Param<double> real("C", "Real", 0.5);
    real.SetOption("Format", sdk::gcstring("%.3f"));
    Param<bool> flag("C", "Flag", true);
    Param<std::string> text("C", "Text", "abc");
    const int hexItem = Adapter(hex)->CreateItem(&hex, *grid, section);
    const int realItem = Adapter(real)->CreateItem(&real, *grid, section);
    const int flagItem = Adapter(flag)->CreateItem(&flag, *grid, section);
    const int textItem = Adapter(text)->CreateItem(&text, *grid, section);
    EXPECT_EQ(grid->GetItemName(hexItem), "Hex");
    EXPECT_EQ(grid->GetDisplayText(hexItem), "FF");
    EXPECT_FALSE(grid->IsItemEditable(hexItem));
    EXPECT_EQ(grid->GetDisplayText(realItem), "0.500");
    EXPECT_EQ(grid->GetDisplayText(flagItem), "True");
    EXPECT_EQ(grid->GetDisplayText(textItem), "abc");
    EXPECT_TRUE(grid->IsItemEditable(textItem));
    EXPECT_FALSE(grid->IsItemUndefined(textItem));
    // The grid's refusals come back unchanged.
    EXPECT_EQ(Adapter(text)->CreateItem(&text, *grid, section), -1);
    EXPECT_EQ(Adapter(flag)->CreateItem(&flag, *grid, 99), -1);
}

TEST_F(PropertyControlAdapterTest, IntegersWidenBySignedness) {
    Param<unsigned> big("C", "Big", 4294967295u);
    Param<int> minus("C", "Minus", -1);
    const int bigItem = Adapter(big)->CreateItem(&big, *grid, section);
    const int minusItem = Adapter(minus)->CreateItem(&minus, *grid, section);
    int64_t value = 0;
    EXPECT_TRUE(grid->GetItemValue(bigItem, value));
    EXPECT_EQ(value, 4294967295LL);
    EXPECT_TRUE(grid->GetItemValue(minusItem, value));
    EXPECT_EQ(value, -1);
    // Reading keeps the low 32 bits.
    ASSERT_TRUE(grid->SetItemValue(bigItem, int64_t{0x100000005}));
    Adapter(big)->GetControlValue(&big, *grid, bigItem);
    EXPECT_EQ(big.mValue, 5u);
    ASSERT_TRUE(grid->SetItemValue(minusItem, int64_t{0xFFFFFFFE}));
    Adapter(minus)->GetControlValue(&minus, *grid, minusItem);
    EXPECT_EQ(minus.mValue, -2);
    big.mValue = 7;
    Adapter(big)->SetControlValue(&big, *grid, bigItem);
    EXPECT_EQ(grid->GetDisplayText(bigItem), "7");
}

TEST_F(PropertyControlAdapterTest, EnumSelectsTheLastEntryWithTheValue) {
    ParamEnum twins("C", "Twins", "");
    twins.AddEntry("First", 5);
    twins.AddEntry("Second", 5);
    twins.AddEntry("Other", 6);
    twins.mValue = "First";
    ParamEnum unknown("C", "Unknown", "");
    unknown.AddEntry("Zero", 0);
    unknown.AddEntry("One", 1);
    unknown.AddEntry("AlsoZero", 0);
    unknown.mValue = "Nothing";
    ParamEnum noZero("C", "NoZero", "");
    noZero.AddEntry("One", 1);
    noZero.AddEntry("Two", 2);
    noZero.mValue = "";
    int64_t index = -1;
    const int twinsItem = Adapter(twins)->CreateItem(&twins, *grid, section);
    EXPECT_TRUE(grid->GetItemValue(twinsItem, index) && index == 1);
    EXPECT_EQ(grid->GetDisplayText(twinsItem), "Second");
    const int unknownItem = Adapter(unknown)->CreateItem(&unknown, *grid, section);
    EXPECT_TRUE(grid->GetItemValue(unknownItem, index) && index == 2);
    const int noZeroItem = Adapter(noZero)->CreateItem(&noZero, *grid, section);
    EXPECT_TRUE(grid->GetItemValue(noZeroItem, index) && index == 0);
    // Reading stores the selected entry's text; putting selects the entry by name.
    Adapter(twins)->GetControlValue(&twins, *grid, twinsItem);
    EXPECT_EQ(twins.mValue, "Second");
    twins.mValue = "Other";
    Adapter(twins)->SetControlValue(&twins, *grid, twinsItem);
    EXPECT_EQ(grid->GetDisplayText(twinsItem), "Other");
}

// --- Reading back and errors
// ----------------------------------------------------------------------

TEST_F(PropertyControlAdapterTest, ReadingCopiesTheValueWithoutChecks) {
    Param<double> real("C", "Real", 1.0, 0.0, 2.0, 0.0);
    Param<bool> flag("C", "Flag", false);
    Param<std::string> text("C", "Text", "a");
    const int realItem = Adapter(real)->CreateItem(&real, *grid, section);
    const int flagItem = Adapter(flag)->CreateItem(&flag, *grid, section);
    const int textItem = Adapter(text)->CreateItem(&text, *grid, section);
    grid->SetItemValue(realItem, 99.5);  // out of range: stored anyway
    grid->SetItemValue(flagItem, true);
    grid->SetItemValue(textItem, "b");
    Adapter(real)->GetControlValue(&real, *grid, realItem);
    Adapter(flag)->GetControlValue(&flag, *grid, flagItem);
    Adapter(text)->GetControlValue(&text, *grid, textItem);
    EXPECT_EQ(real.mValue, 99.5);
    EXPECT_TRUE(flag.mValue);
    EXPECT_EQ(text.mValue, "b");
}

TEST_F(PropertyControlAdapterTest, FailuresNameTheParameterAndChangeNothing) {
    Param<int64_t> number("C", "Number", 3);
    Param<bool> flag("C", "Flag", true);
    Param<int> wrong("C", "Wrong", 4);
    const int undefined = grid->AddIntegerItem(section, "Number", int64_t{9}, "", true, true);
    const int flagItem = Adapter(flag)->CreateItem(&flag, *grid, section);
    const auto numbers = Adapter(number);
    EXPECT_EQ(
        Failure<std::runtime_error>([&] { numbers->GetControlValue(&number, *grid, undefined); }),
        "Failed to get control 'Number' value");
    EXPECT_EQ(number.mValue, 3);
    EXPECT_EQ(Failure<std::runtime_error>([&] { numbers->GetControlValue(&number, *grid, 77); }),
              "Failed to get control 'Number' value");
    EXPECT_EQ(
        Failure<std::runtime_error>([&] { numbers->SetControlValue(&number, *grid, flagItem); }),
        "Failed to set control 'Number' value");
    // A bool item read into a parameter that is not a bool parameter.
    const auto flags = Adapter(flag);
    EXPECT_EQ(Failure<std::bad_cast>([&] { flags->GetControlValue(&wrong, *grid, flagItem); }),
              "Wrong parameter 'Wrong' type");
    EXPECT_EQ(wrong.mValue, 4);
    EXPECT_EQ(Failure<std::bad_cast>([&] { flags->CreateItem(&wrong, *grid, section); }),
              "Wrong parameter 'Wrong' type");
    // The grid is read first: an undefined item fails before the type is checked.
    EXPECT_EQ(
        Failure<std::runtime_error>([&] { numbers->GetControlValue(&flag, *grid, undefined); }),
        "Failed to get control 'Flag' value");
    // A ParamEnum passes as a text parameter.
    ParamEnum choice("C", "Choice", "");
    choice.AddEntry("X", 1);
    const int textItem = grid->AddTextItem(section, "T", "typed");
    PropertyControlAdapterString().GetControlValue(&choice, *grid, textItem);
    EXPECT_EQ(choice.mValue, "typed");
}

// --- Grid refresh from a parameter set
// --------------------------------------------------------------

TEST_F(PropertyControlAdapterTest, UpdateFromParametersRefreshesVisibleCameraParameters) {
    auto set = MakeCameraParameters("Cam");
    std::map<std::string, int> items;
    for (Param_& parameter : *set) {
        if (parameter.mVisible) {
            items[parameter.mName] = Adapter(parameter)->CreateItem(&parameter, *grid, section);
        }
    }
    // The user left one item undefined; the refresh keeps the mark.
    const int undefinedItem = grid->AddTextItem(section, "deviceuserid", "", true, true);
    auto& width = dynamic_cast<Param<int64_t>&>(*set->Find("Width"));
    auto& exposure = dynamic_cast<Param<double>&>(*set->Find("ExposureTimeAbs"));
    auto& reverse = dynamic_cast<Param<bool>&>(*set->Find("ReverseX"));
    auto& format = dynamic_cast<ParamEnum&>(*set->Find("PixelFormat"));
    auto& user = dynamic_cast<Param<std::string>&>(*set->Find("DeviceUserID"));
    auto& buffers = dynamic_cast<Param<int>&>(*set->Find("BufferCount"));
    width.mValue = 1024;
    width.mWritable = false;
    exposure.mValue = 123.5;
    reverse.mValue = true;
    format.mValue = "RGB8";
    user.mValue = "renamed";
    buffers.mValue = 20;  // a driver setting: not refreshed
    grid->UpdateFromParameters(*set);
    EXPECT_EQ(grid->GetDisplayText(items["Width"]), "1024");
    EXPECT_FALSE(grid->IsItemEditable(items["Width"]));
    EXPECT_EQ(grid->GetDisplayText(items["ExposureTimeAbs"]), "123.5");
    EXPECT_EQ(grid->GetDisplayText(items["ReverseX"]), "True");
    EXPECT_EQ(grid->GetDisplayText(items["PixelFormat"]), "RGB8");
    EXPECT_EQ(grid->GetDisplayText(items["DeviceUserID"]), "renamed");
    EXPECT_NE(grid->GetDisplayText(items["BufferCount"]), "20");
    EXPECT_TRUE(grid->IsItemUndefined(undefinedItem));  // found ignoring case, mark kept
    std::string text;
    grid->SetItemValue(undefinedItem, "x");
    grid->UpdateFromParameters(*set);
    EXPECT_TRUE(grid->GetItemValue(undefinedItem, text) && text == "renamed");
    // A non-persistent parameter is left alone.
    user.mPersistent = false;
    user.mValue = "volatile";
    grid->UpdateFromParameters(*set);
    EXPECT_EQ(grid->GetDisplayText(items["DeviceUserID"]), "renamed");
}

}  // namespace
