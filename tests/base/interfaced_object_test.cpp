// Lifetimes of reference-counted objects, their companions and the lists that hold them.
#include "base/interfaced_object_list.h"
#include "base/intrusive_ptr.h"
#include "persist_fixture.h"

#include <QLocale>
#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <vector>

namespace pxh::test {
namespace {

// Counts live instances, so a test sees exactly when an object goes.
class TTracked : public TInterfacedObjectKVB {
public:
    explicit TTracked(int& ALive, bool AAutoDestroy = true)
        : TInterfacedObjectKVB(AAutoDestroy)
        , FLive(ALive) {
        ++FLive;
    }
    ~TTracked() override { --FLive; }
    int ZeroCalls = 0;

protected:
    void DoZeroRefCount() override { ++ZeroCalls; }

private:
    int& FLive;
};

// Takes and drops an interface inside its constructor.
class TSelfReferencing : public TTracked {
public:
    explicit TSelfReferencing(int& ALive)
        : TTracked(ALive) {
        TIntrusivePtr<ILock> Self(this);
    }
};

class ICounter : public virtual IInterface {
public:
    virtual int Value() const = 0;
};

class TCounter : public TTracked, public ICounter {
public:
    TCounter(int& ALive, int AValue)
        : TTracked(ALive)
        , FValue(AValue) {}
    int Value() const override { return FValue; }

private:
    int FValue;
};

TEST(InterfacedObject, LivesAsLongAsItIsReferenced) {
    int Live = 0;
    auto A = MakeInterfaced<TTracked>(Live);
    EXPECT_EQ(A->RefCount(), 1);
    {
        TIntrusivePtr<ILock> AsLock = A;
        EXPECT_EQ(A->RefCount(), 2);
        A.reset();
        EXPECT_EQ(Live, 1) << "the interface still holds it";
    }
    EXPECT_EQ(Live, 0);
}

TEST(InterfacedObject, InterfaceTakenInsideTheConstructorDoesNotFreeIt) {
    int Live = 0;
    auto A = MakeInterfaced<TSelfReferencing>(Live);
    EXPECT_EQ(Live, 1);
    EXPECT_EQ(A->RefCount(), 1);
    A.reset();
    EXPECT_EQ(Live, 0);
}

TEST(InterfacedObject, WithoutAutoDestroyItsOwnerFreesIt) {
    int Live = 0;
    auto Owned = std::make_unique<TTracked>(Live, false);
    {
        TIntrusivePtr<TTracked> Ref(Owned.get());
        TIntrusivePtr<TTracked> Second = Ref;
    }
    EXPECT_EQ(Live, 1) << "releasing the last reference does not free it";
    EXPECT_EQ(Owned->ZeroCalls, 1);
    Owned.reset();
    EXPECT_EQ(Live, 0);
}

TEST(InterfacedObject, QueriesAnswerOnlyImplementedInterfaces) {
    int Live = 0;
    auto Counter = MakeInterfaced<TCounter>(Live, 5);
    EXPECT_TRUE(Supports<ICounter>(Counter));
    EXPECT_TRUE(Supports<ILock>(Counter));
    EXPECT_FALSE(Supports<IObjectList>(Counter));
    EXPECT_EQ(Supports<ICounter>(Counter)->Value(), 5);
}

TEST(InterfacedObjectDeathTest, DestroyingAReferencedObjectIsFatal) {
    EXPECT_DEATH(
        {
            int Live = 0;
            TTracked Stack(Live);
            TIntrusivePtr<TTracked> Leaked(&Stack);
            (void)Leaked.detach();
        },
        "Invalid pointer operation");
}

TEST(InterfacedObject, CompanionKeepsItsOwnerAlive) {
    auto S = MakeInterfaced<TSample>();
    TSample* Raw = S.get();
    TIntrusivePtr<IXMLPersistence> Xml = S->XML();
    TIntrusivePtr<IObjectAssign> Assign = S->ObjAssign();
    S.reset();
    EXPECT_EQ(Raw->RefCount(), 2);
    EXPECT_TRUE(Xml->ToString().contains("<Sample"));
    Xml.reset();
    Assign.reset(); // the last reference: ASan reports a leak or a double free otherwise
}

TEST(InterfacedObjectList, ItemsOutliveTheListWhileHeldElsewhere) {
    int Live = 0;
    auto Held = MakeInterfaced<TTracked>(Live);
    {
        auto List = MakeInterfaced<TInterfacedObjectList<TTracked>>();
        List->Add(Held);
        List->Add(MakeInterfaced<TTracked>(Live));
        List->Add(MakeInterfaced<TTracked>(Live));
        EXPECT_EQ(Live, 3);
        List->Delete(2);
        EXPECT_EQ(Live, 2);
        auto Taken = List->Extract(1);
        EXPECT_EQ(List->Count(), 1);
        Taken.reset();
        EXPECT_EQ(Live, 1);
        List->Add(MakeInterfaced<TTracked>(Live));
        Held.reset();
        EXPECT_EQ(Live, 2) << "the list still holds it";
        Held = List->Item(0);
        List->Clear();
        EXPECT_EQ(Live, 1);
        List->Add(MakeInterfaced<TTracked>(Live));
    }
    EXPECT_EQ(Live, 1) << "the list's own items went with it";
    Held.reset();
    EXPECT_EQ(Live, 0);
}

TEST(InterfacedObjectList, ListOfInterfaces) {
    int Live = 0;
    {
        TInterfacedObjectList<ICounter> List(false);
        for (int I = 1; I <= 3; ++I)
            List.Add(MakeInterfaced<TCounter>(Live, I));
        int Sum = 0;
        List.ForEachObject([&](const TIntrusivePtr<ICounter>& AItem) {
            Sum += AItem->Value();
            EXPECT_EQ(List.Count(), 3) << "the walk's lock lets the callback use the list";
        });
        EXPECT_EQ(Sum, 6);
        const auto Found =
            List.ForEachObject([](const TIntrusivePtr<ICounter>& AItem) { return AItem->Value() == 2; });
        ASSERT_TRUE(Found);
        EXPECT_EQ(Found->Value(), 2);
        EXPECT_EQ(List.GetCount(), 3);
        EXPECT_TRUE(Supports<IObjectList>(&List));
    }
    EXPECT_EQ(Live, 0);
}

TEST(InterfacedObject, CountsStayExactAcrossThreads) {
    int Live = 0;
    auto Shared = MakeInterfaced<TTracked>(Live);
    auto List = MakeInterfaced<TInterfacedObjectList<TTracked>>();
    std::vector<std::thread> Threads;
    for (int T = 0; T < 4; ++T)
        Threads.emplace_back([&] {
            for (int I = 0; I < 20000; ++I) {
                TIntrusivePtr<TTracked> Copy = Shared;
                TIntrusivePtr<ILock> AsLock = Copy;
                if (I % 1000 == 0)
                    List->Add(Copy);
            }
        });
    for (auto& Thread : Threads)
        Thread.join();
    EXPECT_EQ(Shared->RefCount(), 1 + 4 * 20);
    List.reset();
    EXPECT_EQ(Shared->RefCount(), 1);
    Shared.reset();
    EXPECT_EQ(Live, 0);
}

// Serializer passes on two threads while a third formats with a comma-decimal locale.
TEST(InterfacedObject, SerializingOnThreadsKeepsTheDecimalPoint) {
    std::atomic<bool> Stop{false};
    std::thread Formatter([&] {
        const QLocale German(QLocale::German);
        while (!Stop)
            EXPECT_EQ(German.toString(1.5), "1,5");
    });
    std::vector<std::thread> Writers;
    for (int T = 0; T < 2; ++T)
        Writers.emplace_back([] {
            for (int I = 0; I < 200; ++I) {
                // No date-times here: glibc's time-zone setup races invisibly to ThreadSanitizer.
                TSquare S(0.5 + I);
                TSquare Read;
                TPersistObject::FromXMLString(Read, TPersistObject::ToXMLString(S));
                EXPECT_EQ(Read.FSide, 0.5 + I);
            }
        });
    for (auto& Writer : Writers)
        Writer.join();
    Stop = true;
    Formatter.join();
}

} // namespace
} // namespace pxh::test
