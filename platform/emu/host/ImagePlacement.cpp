#include "platform/emu/host/ImagePlacement.h"

#include "platform/emu/host/VolumeCheck.h"

#include <algorithm>

namespace emu::host {

using hostsupport::Failure;
using hostsupport::Result;

ImagePlacement::ImagePlacement(ImageVolume volume, std::string workFolder)
    : m_volume(std::move(volume)), m_workFolder(std::move(workFolder)) {}

Result<void> ImagePlacement::seal(const FatLayout& layout,
                                  const std::vector<std::uint32_t>& clusters) {
    m_journal = std::make_unique<hostsupport::UndoJournal>(m_volume.path);
    for (const ByteRange& range : layout.systemAreas()) {
        m_journal->keep(range.offset, range.length);
    }
    std::vector<std::uint32_t> sorted = clusters;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    ByteRange run;
    for (std::uint32_t cluster : sorted) {
        ByteRange range = layout.cluster(cluster);
        if (run.length != 0 && run.offset + run.length == range.offset) {
            run.length += range.length;
            continue;
        }
        if (run.length != 0) {
            m_journal->keep(run.offset, run.length);
        }
        run = range;
    }
    if (run.length != 0) {
        m_journal->keep(run.offset, run.length);
    }
    Result<void> sealed = m_journal->seal();
    if (!sealed) {
        m_journal.reset();
        return Failure{"cannot save what the changes overwrite in " + m_volume.path + ": " +
                       sealed.reason()};
    }
    return {};
}

Result<void> ImagePlacement::check(int shortNameCodePage) {
    Result<void> checked =
        VolumeCheck::run(m_volume, m_volume.path, m_workFolder, shortNameCodePage);
    if (!checked) {
        return Failure{"after writing the changes, " + checked.reason()};
    }
    return {};
}

Result<void> ImagePlacement::finish() {
    Result<void> finished = m_journal->finish();
    if (!finished) {
        return Failure{"cannot sync " + m_volume.path + ": " + finished.reason()};
    }
    m_journal.reset();
    return {};
}

Result<void> ImagePlacement::undo() {
    if (!m_journal) {
        return {};
    }
    Result<void> undone = m_journal->undo();
    m_journal.reset();
    if (!undone) {
        return Failure{"the saved bytes could not be put back into " + m_volume.path + " (" +
                       undone.reason() + "); the next run on the image puts them back"};
    }
    return {};
}

} // namespace emu::host
