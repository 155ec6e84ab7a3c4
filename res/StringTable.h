#pragma once
// The program's nine user messages, in English and Japanese (UTF-8).
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

enum class Language { English, Japanese };

// The text of string `id` (1..9) in `language`; an empty text for an unknown id.
const char* LoadString(int id, Language language);

// The line under the size report when the melody file could not hold all of
// the recording: a printf template taking the kept and the whole seconds as "%s".
const char* LoadCutNoteTemplate(Language language);

// Japanese when the user's language (LANGUAGE, LC_ALL, LC_MESSAGES, LANG, in the
// order the C library gives them priority) is Japanese, English otherwise.
Language LanguageFromEnvironment();

}  // namespace quorbin
