#include "korvane/app/intake_dialog.h"

#include "platform/platform.h"
#include "tools.h"

namespace korvane {

std::optional<TextList> IntakeDialog::Opened() {
    TakeLogonServer(ctx_.krv.settings);
    const std::string managed = toolkit::ProgramDir() + kManagedFile;
    if (!toolkit::platform::FileExists(managed)) return std::nullopt;
    try {
        return toolkit::LoadLines(managed);
    } catch (const toolkit::FileError& error) {
        ctx_.view.Warn(error.what());
        return std::nullopt;
    }
}

// With netsweep's record, each row says what changed: new, moved, or when
// it was last seen; the newest come first.
std::optional<IntakeRows> IntakeDialog::Refresh(const TextList& memo) {
    std::optional<TextList> discover = ReadDiscoverFile();
    if (!discover) return std::nullopt;
    ctx_.krv.DiscoverList = std::move(*discover);
    if (const toolkit::DeviceRecord* record = scans_.DeviceRecordNow()) {
        return FillIntakeRows(ctx_.krv.DiscoverList, memo, ctx_.krv, *record, ctx_.NowSeconds());
    }
    return FillIntakeRows(ctx_.krv.DiscoverList, memo, ctx_.krv);
}

// A bad line or a failed write keeps the dialog open with the memo as typed.
// Entries may have gone or moved: their old map controls must not stay.
bool IntakeDialog::Ok(const TextList& memo) {
    const TextList before = ctx_.krv.ManagedList;
    const std::optional<std::string> failure = SaveIntake(memo, ctx_.krv);
    if (!failure || ctx_.krv.ManagedList != before) {
        map_.RebuildNext();
        map_.Redraw();
    }
    if (failure) ctx_.view.Warn(*failure);
    return !failure;
}

}  // namespace korvane
