#include "conversion/StringTable.h"

namespace quorbin {
namespace {

constexpr const char* kStrings[] = {
    N_("Output File Size : "),
    N_("Cannot open WAVE file"),
    N_("Extension is not \".wav\""),
    N_("Invalid WAVE file"),
    N_("This WAVE format not supported"),
    N_("Cannot save \".mld\" file"),
    N_("Filename length exceeds limit"),
    N_("Inadequate WAVE file playtime"),
    N_("Disk space not enough"),
};

}  // namespace

const char* LoadString(int id, const Language& language)
{
    if (id < IDS_OUTPUT_SIZE || id > IDS_DISK_SPACE)
        return "";
    return Tr(kStrings[id - IDS_OUTPUT_SIZE], language);
}

}  // namespace quorbin
