// Descriptors of the persistence test classes.
#include "persist_fixture.h"

namespace pxh::test {

const TPersistClass& TInner::StaticPersistClass() {
    static const TPersistClass Class = TPersistClassBuilder<TInner>("Inner", 1)
                                           .Prop("Label", &TInner::FLabel, {"inner", true})
                                           .Prop("Size", &TInner::FSize, {"", "Size", 3, false});
    return Class;
}

const TPersistClass& TSample::StaticPersistClass() {
    static const TPersistClass Class =
        TPersistClassBuilder<TSample>(" Sample ", 3)
            .Prop("Int", &TSample::FInt, {"", "Int", "$FFD60808", true})
            .Prop("Big", &TSample::FBig, {"Numbers", "Big", std::int64_t{1} << 40, false})
            .Prop("Flag", &TSample::FFlag, {"Numbers", "Flag", false, true})
            .Prop("Colour", &TSample::FColour, {"sample", "Colour", "clGreen", false})
            .Prop("Ratio", &TSample::FRatio, {"Numbers", "Ratio", 0.25, false})
            .Prop("When", &TSample::FWhen, {"Times", "When", "", false})
            .Prop("Text", &TSample::FText, {5, "Texts", "Text", "hello", false})
            .Prop("Lines", &TSample::FLines, {"Texts", "Lines", "a\r\nb\r\n", false})
            .Prop("Inner", &TSample::FInner, {"", "", "", false})
            .Prop("Old", &TSample::FOld, {1, 2, 0, "", "Old", 7, true})
            .Prop("Fixed", &TSample::GetFixed, nullptr, {"", "Fixed", "", true});
    return Class;
}

const TPersistClass& TOther::StaticPersistClass() {
    static const TPersistClass Class =
        TPersistClassBuilder<TOther>("Other", 1)
            .Prop("Caption", &TOther::FText, {"", "TEXT", "", false})
            .Prop("Number", &TOther::FInt, {"", "int", 0, true})
            .Prop("inner", &TOther::FInner, {"", "", "", false})
            .Prop("Fixed", &TOther::GetFixed, nullptr, {"", "Fixed", "", true});
    return Class;
}

const TPersistClass& TInnerList::StaticPersistClass() {
    static const TPersistClass Class = TPersistClassBuilder<TInnerList>("InnerList", 1)
                                           .Prop("Title", &TInnerList::FTitle, {"", "", "", true});
    return Class;
}

const TPersistClass& TSquare::StaticPersistClass() {
    static const TPersistClass Class =
        TPersistClassBuilder<TSquare>("Square", 1).Prop("Side", &TSquare::FSide, {0, true});
    return Class;
}

const TPersistClass& TShapeList::StaticPersistClass() {
    static const TPersistClass Class = TPersistClassBuilder<TShapeList>("Shapes", 2);
    return Class;
}

} // namespace pxh::test
