#include "engine_fixture.h"

#include "base/localizer.h"
#include "core/ui_bridge.h"
#include "model/pixhoard_config.h"

#include <QDir>
#include <QRandomGenerator>

namespace pxh::test {

TempRoot* EngineTest::GRoot = nullptr;

IPublishDesktop::TCapture TRecordingDesktop::CaptureArea() {
    ++CaptureCount;
    if (OnCapture)
        OnCapture();
    if (CaptureRaises)
        throw EPixhoard(QStringLiteral("the capture form failed"));
    if (Captures.empty())
        return {};
    TCapture Next = Captures.front();
    Captures.pop_front();
    return Next;
}

bool TRecordingDesktop::StartWindowPick(std::function<void(std::uint32_t)> AOnPicked) {
    if (PendingPick)
        return false;
    PendingPick = std::move(AOnPicked);
    return true;
}

bool TRecordingDesktop::SnapShotWindow(std::uint32_t, QImage& APicture, QString& ATitle) {
    APicture = WindowPicture;
    ATitle = QStringLiteral("Picked window");
    return !APicture.isNull();
}

void TRecordingNotifications::Notify(const QString& AText, const QString& ALink, const QString& ATitle,
                                     const QString&) {
    std::lock_guard Lock(FLock);
    FNotices.push_back({false, AText, ALink, ATitle, IsUiThread()});
    FAllOnUi = FAllOnUi && IsUiThread();
}

void TRecordingNotifications::NotifyError(const QString& AText) {
    std::lock_guard Lock(FLock);
    FNotices.push_back({true, AText, {}, {}, IsUiThread()});
    FAllOnUi = FAllOnUi && IsUiThread();
}

void TRecordingNotifications::StartTrayAnimation() {
    std::lock_guard Lock(FLock);
    ++FTrayCalls;
    FAllOnUi = FAllOnUi && IsUiThread();
}

void TRecordingNotifications::StopTrayAnimation() {
    StartTrayAnimation();
}

std::vector<TRecordingNotifications::TNotice> TRecordingNotifications::Notices() const {
    std::lock_guard Lock(FLock);
    return FNotices;
}

std::vector<TRecordingNotifications::TNotice> TRecordingNotifications::EngineNotices() const {
    std::vector<TNotice> Result;
    for (const TNotice& Notice : Notices())
        if (Notice.Title.isEmpty())
            Result.push_back(Notice);
    return Result;
}

int TRecordingNotifications::TrayCalls() const {
    std::lock_guard Lock(FLock);
    return FTrayCalls;
}

bool TRecordingNotifications::AllOnUiThread() const {
    std::lock_guard Lock(FLock);
    return FAllOnUi;
}

void TRecordingNotifications::Clear() {
    std::lock_guard Lock(FLock);
    FNotices.clear();
    FTrayCalls = 0;
    FAllOnUi = true;
}

void EngineTest::SetUpTestSuite() {
    GRoot = new TempRoot;
    GRoot->applyToThisProcess();
    auto Localizer = std::make_shared<TLocalizer>(QStringList{SourceDir() + "/resources/Lngs"});
    Localizer->SetLocaleID(1033);
    SetGlobalLocalizer(Localizer);
}

void EngineTest::TearDownTestSuite() {
    SetGlobalLocalizer(nullptr);
    delete GRoot;
    GRoot = nullptr;
}

void EngineTest::SetUp() {
    RecordUiThread();
    FConfig = IConfigPtr(MakeInterfaced<TPixhoardConfig>().get());
    QDir(TempFolder()).removeRecursively();
    QDir().mkpath(TempFolder());
    FConfig->SetPathTemp(TempFolder());
    FConfig->SetUploadFormat(1);
    FConfig->SetInstantUpload(false);
    FConfig->SetShowDropBox(true);
    FConfig->SetLastExpire(3);
    FConfig->SetLastFolder(QStringLiteral("shots"));
    FDesktop = std::make_shared<TRecordingDesktop>();
    FNotifications = std::make_shared<TRecordingNotifications>();
    TPlatformServices::Register(FNotifications);
    MakeEngine();
}

void EngineTest::TearDown() {
    FQueued.clear();
    FEngine = nullptr;
    TPlatformServices::Clear();
}

void EngineTest::MakeEngine(std::function<std::int64_t()> AClock, std::function<QDate()> AToday) {
    TPixhoardEngine::TSetup Setup;
    Setup.Config = FConfig;
    Setup.Desktop = FDesktop;
    auto Keep = [this](std::unique_ptr<TOperation> AOperation) {
        std::lock_guard Lock(FQueueLock);
        FQueued.push_back(std::move(AOperation));
    };
    Setup.SendUpload = Keep;
    Setup.SendOp = Keep;
    Setup.Clock = std::move(AClock);
    Setup.Today = std::move(AToday);
    FEngine = MakeInterfaced<TPixhoardEngine>(std::move(Setup));
}

QString EngineTest::TempFolder() const {
    return GRoot->path() + "/tmp/";
}

QStringList EngineTest::TempFiles() const {
    return QDir(TempFolder()).entryList(QDir::Files, QDir::Name);
}

IPublishDesktop::TCapture Captured(const QImage& APicture, bool AAlt, bool ACtrl) {
    IPublishDesktop::TCapture Result;
    Result.Ok = true;
    Result.Picture = APicture;
    Result.Rect = QRect(QPoint(10, 20), APicture.size());
    Result.Alt = AAlt;
    Result.Ctrl = ACtrl;
    return Result;
}

QImage Noise(int AWidth, int AHeight, quint32 ASeed) {
    QImage Picture(AWidth, AHeight, QImage::Format_RGB32);
    QRandomGenerator Random(ASeed);
    for (int Y = 0; Y < AHeight; ++Y) {
        auto* Line = reinterpret_cast<quint32*>(Picture.scanLine(Y));
        for (int X = 0; X < AWidth; ++X)
            Line[X] = 0xFF000000u | (Random.generate() & 0xFFFFFFu);
    }
    return Picture;
}

} // namespace pxh::test
