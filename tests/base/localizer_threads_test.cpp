// Lookups from several threads while the language is switched: every answer is one language's text.
#include "base/localizer.h"
#include "language_fixture.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace pxh {
namespace {

TEST(LocalizerThreads, LookupsDuringLanguageSwitches) {
    test::TLngFolder folder;
    folder.Write("eng.lng",
                 "LocaleID=0409\r\nName=English\r\n0001=One\r\n0002=%s of %s\r\n0003=English only\r\n");
    folder.Write("rus.lng", "LocaleID=0419\r\nName=Russian\r\n0001=Один\r\n0002=%s из %s\r\n");
    auto localizer = std::make_shared<TLocalizer>(QStringList{folder.Path()});
    SetGlobalLocalizer(localizer);

    std::atomic<int> running{4};
    std::atomic<int> wrong{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t)
        readers.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                const QString one = LocalizedText(1);
                const QString of = LocalizedFormat(2, {"a", "b"});
                if (one != "One" && one != "Один")
                    ++wrong;
                if (of != "a of b" && of != "a из b")
                    ++wrong;
                if (LocalizedText(3) != "English only")
                    ++wrong;
                localizer->LanguageName();
            }
            --running;
        });
    for (int i = 0; running.load() > 0; ++i)
        localizer->SetLocaleID(i % 2 ? cLocaleRussian : cLocaleEnglish);
    for (auto& r : readers)
        r.join();
    SetGlobalLocalizer(nullptr);
    EXPECT_EQ(wrong.load(), 0);
}

} // namespace
} // namespace pxh
