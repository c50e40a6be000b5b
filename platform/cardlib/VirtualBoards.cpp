#include "platform/cardlib/VirtualBoards.h"

#include "platform/cardlib/VirtualBoard.h"
#include "platform/srmodule/ManifestReader.h"
#include "platform/srmodule/SimulatedRecorder.h"

#include <QDebug>
#include <mutex>

namespace cardlib {

namespace {

// Board number of the board the recorder is wired to.
constexpr uint32_t kRecorderBoard = 0;

struct Registry {
    std::mutex lock;
    bool built = false;
    std::vector<std::shared_ptr<VirtualBoard>> boards;
    QString error;
};

Registry &registry() {
    static Registry instance;
    return instance;
}

// Called with the registry's lock held.
void build(Registry &r, const ManifestResult &media) {
    r.boards.clear();
    r.error = media.error;
    r.built = true;
    if (!media.manifest) {
        qWarning("%s", qPrintable(media.error));
        r.boards.push_back(std::make_shared<VirtualBoard>(kRecorderBoard, ClipManifest().boardName, nullptr));
        return;
    }
    if (!media.manifest->boardPresent)
        return;
    auto recorder = std::make_shared<SimulatedRecorder>(*media.manifest);
    r.boards.push_back(std::make_shared<VirtualBoard>(kRecorderBoard, media.manifest->boardName, recorder));
}

Registry &builtRegistry(std::unique_lock<std::mutex> &guard) {
    Registry &r = registry();
    guard = std::unique_lock(r.lock);
    if (!r.built)
        build(r, readConfiguredMedia());
    return r;
}

} // namespace

std::vector<OurBoardInfo> installedBoards() {
    std::unique_lock<std::mutex> guard;
    const Registry &r = builtRegistry(guard);
    std::vector<OurBoardInfo> infos;
    for (const auto &board : r.boards)
        infos.push_back(OurBoardInfo{board->number(), card::kBoardType, board->number(), board->name()});
    return infos;
}

std::shared_ptr<VirtualBoard> findBoard(uint32_t boardNumber) {
    std::unique_lock<std::mutex> guard;
    const Registry &r = builtRegistry(guard);
    for (const auto &board : r.boards)
        if (board->number() == boardNumber)
            return board;
    return nullptr;
}

QString mediaError() {
    std::unique_lock<std::mutex> guard;
    return builtRegistry(guard).error;
}

void useManifest(const QString &manifestPath) {
    const ManifestResult media = readManifest(manifestPath);
    Registry &r = registry();
    std::lock_guard guard(r.lock);
    build(r, media);
}

void useConfiguredMedia() {
    const ManifestResult media = readConfiguredMedia();
    Registry &r = registry();
    std::lock_guard guard(r.lock);
    build(r, media);
}

} // namespace cardlib
