#include "automation/ClassBuilder.h"
#include "common/AutomationError.h"

#include <gtest/gtest.h>

namespace trx {
namespace {

// Each C++ type of a member maps to one automation type and back unchanged.
TEST(AutomationType, MapsEachDomainTypeAndBack) {
    EXPECT_EQ(kValueTypeOf<AutoBool>, ValueType::Boolean);
    EXPECT_EQ(kValueTypeOf<const std::u16string&>, ValueType::Text);
    EXPECT_EQ(kValueTypeOf<std::u16string_view>, ValueType::Text);
    EXPECT_EQ(kValueTypeOf<std::int32_t>, ValueType::Int32);
    EXPECT_EQ(kValueTypeOf<double>, ValueType::Date);
    EXPECT_EQ(kValueTypeOf<std::shared_ptr<const RecordSet>>, ValueType::RecordSet);

    EXPECT_EQ(AutomationType<AutoBool>::From(ToValue(kTrue)), kTrue);
    EXPECT_EQ(AutomationType<std::u16string_view>::From(ToValue(std::u16string_view(u"äb"))),
              u"äb");
    EXPECT_EQ(AutomationType<std::int32_t>::From(ToValue(std::int32_t{-7})), -7);
    EXPECT_EQ(AutomationType<double>::From(ToValue(45000.5)), 45000.5);
    EXPECT_EQ(AutomationType<RecordSetRef>::From(ToValue(RecordSetRef())), nullptr);
}

class Sample {
  public:
    std::u16string Echo(std::u16string_view text, AutoBool quiet, std::int32_t count) {
        return std::u16string(text) + u"|" + (quiet == kTrue ? u"q" : u"-") + u"|" +
               std::u16string(static_cast<std::size_t>(count), u'x');
    }
    void Fail() { throw AutomationError(5, u"Sample", u"kaputt"); }
    double GetStamp() const { return stamp_; }
    void PutStamp(double vData) { stamp_ = vData; }

  private:
    double stamp_ = 0;
};

ClassDescription SampleClass() {
    ClassIdentity identity;
    identity.className = u"Sample";
    identity.typeLibrary.name = u"TRXTest";
    return ClassBuilder<Sample>(identity)
        .Create([](const EventRaiser&) { return std::make_unique<Sample>(); })
        .Method<&Sample::Echo>(u"Echo", 0x60030000,
                               {u"Text", Optional(u"Quiet", kFalse), Optional(u"Count", 2)})
        .Method<&Sample::Fail>(u"Fail", 0x60030001)
        .Property<&Sample::GetStamp, &Sample::PutStamp>(u"Stamp", 0x68030000)
        .Event<std::u16string>(u"Pinged", 1, {u"Text"})
        .Build();
}

// The optional parameters come from the description, their types from the
// member function; omitted ones take their defaults.
TEST(ClassBuilder, DeclaresOptionalParametersAndFillsDefaults) {
    const ClassDescription sample = SampleClass();
    EXPECT_EQ(sample.identity.ProgId(), u"TRXTest.Sample");
    EXPECT_EQ(sample.identity.EventInterface(), u"TRXTest.__Sample");
    const MethodInfo& echo = *sample.FindMethod(u"Echo");
    ASSERT_EQ(echo.params.size(), 3u);
    EXPECT_EQ(echo.params[1].type, ValueType::Boolean);
    EXPECT_EQ(echo.params[2].type, ValueType::Int32);
    EXPECT_EQ(echo.RequiredCount(), 1u);
    EXPECT_EQ(echo.result.type, ValueType::Text);
    EXPECT_EQ(sample.FindMethod(u"Fail")->result.type, ValueType::Empty);
    EXPECT_EQ(sample.FindEvent(u"Pinged")->args.at(0).type, ValueType::Text);

    auto object = sample.create({});
    const auto args = WithDefaults(echo, {Value(std::u16string(u"a")), Value(kTrue)});
    EXPECT_EQ(std::get<std::u16string>(echo.call(*object, args)), u"a|q|xx");
    EXPECT_THROW(WithDefaults(echo, {}), std::invalid_argument);
    EXPECT_THROW(sample.FindMethod(u"Fail")->call(*object, {}), AutomationError);

    const PropertyInfo& stamp = *sample.FindProperty(u"Stamp");
    EXPECT_EQ(stamp.type, ValueType::Date);
    stamp.put(*object, Value(2.5));
    EXPECT_EQ(std::get<double>(stamp.get(*object)), 2.5);
}

// A description that does not fit its member function fails when it is built.
TEST(ClassBuilder, RefusesADescriptionThatDoesNotFit) {
    ClassBuilder<Sample> builder(ClassIdentity{});
    EXPECT_THROW(builder.Method<&Sample::Echo>(u"Echo", 1, {u"Text"}), std::logic_error);
    EXPECT_THROW(
        builder.Method<&Sample::Echo>(
            u"Echo", 1, {u"Text", Optional(u"Quiet", std::int32_t{0}), Optional(u"Count", 2)}),
        std::logic_error);
    EXPECT_THROW(
        builder.Method<&Sample::Echo>(u"Echo", 1, {u"Text", Optional(u"Quiet", kFalse), u"Count"}),
        std::logic_error);
}

}  // namespace
}  // namespace trx
