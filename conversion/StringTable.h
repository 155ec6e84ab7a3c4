#pragma once
// The program's nine user messages, translated through the catalogues.
#include "platform/Translation.h"

namespace quorbin {

enum StringId {
    IDS_OUTPUT_SIZE = 1,
    IDS_CANNOT_OPEN_WAVE = 2,
    IDS_NOT_WAV_EXTENSION = 3,
    IDS_INVALID_WAVE = 4,
    IDS_UNSUPPORTED_FORMAT = 5,
    IDS_CANNOT_SAVE_MLD = 6,
    IDS_FILENAME_TOO_LONG = 7,
    IDS_PLAYTIME_TOO_SHORT = 8,
    IDS_DISK_SPACE = 9,
};

// The text of string `id` (1..9) in `language`; an empty text for an unknown id.
const char* LoadString(int id, const Language& language);

}  // namespace quorbin
