#include "decode/DecodeRequest.h"

#include <charconv>
#include <functional>
#include <map>
#include <string_view>

namespace quorbin::decode {
namespace {

// Shortest text that reads back as the same number.
std::string Number(double value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

void AddOptional(std::vector<std::string>& arguments, const char* option, const std::optional<double>& value)
{
    if (value)
        arguments.insert(arguments.end(), {option, Number(*value)});
}

using ValueReader = std::function<bool(const std::string& text)>;

template <typename Value>
bool ReadNumber(const std::string& text, Value& value)
{
    const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && stop == text.data() + text.size();
}

template <typename Value>
ValueReader NumberInto(Value& value)
{
    return [&value](const std::string& text) { return ReadNumber(text, value); };
}

template <typename Value>
ValueReader NumberInto(std::optional<Value>& value)
{
    return [&value](const std::string& text) {
        Value number{};
        if (!ReadNumber(text, number))
            return false;
        value = number;
        return true;
    };
}

}  // namespace

std::vector<std::string> DecodeRequestArguments(const DecodeRequest& request)
{
    const PreparationOptions& options = request.options;
    const EditOptions& edit = options.edit;
    std::vector<std::string> arguments = {"--module", request.module.string(), "--name", request.name};
    if (options.targetRate)
        arguments.insert(arguments.end(), {"--rate", std::to_string(*options.targetRate)});
    if (options.normalize)
        arguments.push_back("--normalize");
    if (options.fit)
        arguments.push_back("--fit");
    if (request.verbose)
        arguments.push_back("--verbose");
    if (request.work == DecodeWork::Whole)
        arguments.push_back("--whole");
    arguments.insert(arguments.end(), {"--start", Number(edit.startSeconds), "--fade-in", Number(edit.fadeInMs),
                                       "--fade-out", Number(edit.fadeOutMs), "--limit", std::to_string(edit.limit)});
    AddOptional(arguments, "--length", edit.lengthSeconds);
    AddOptional(arguments, "--end", edit.endSeconds);
    AddOptional(arguments, "--trim-silence", edit.trimBelowDb);
    return arguments;
}

std::optional<DecodeRequest> ParseDecodeRequest(const std::vector<std::string>& arguments)
{
    DecodeRequest request;
    PreparationOptions& options = request.options;
    EditOptions& edit = options.edit;
    bool whole = false;
    const std::map<std::string_view, bool*> flags = {{"--normalize", &options.normalize},
                                                     {"--fit", &options.fit},
                                                     {"--verbose", &request.verbose},
                                                     {"--whole", &whole}};
    const std::map<std::string_view, ValueReader> values = {
        {"--module", [&](const std::string& text) { return !(request.module = text).empty(); }},
        {"--name",
         [&](const std::string& text) {
             request.name = text;
             return true;
         }},
        {"--rate", NumberInto(options.targetRate)},
        {"--start", NumberInto(edit.startSeconds)},
        {"--length", NumberInto(edit.lengthSeconds)},
        {"--end", NumberInto(edit.endSeconds)},
        {"--trim-silence", NumberInto(edit.trimBelowDb)},
        {"--fade-in", NumberInto(edit.fadeInMs)},
        {"--fade-out", NumberInto(edit.fadeOutMs)},
        {"--limit", NumberInto(edit.limit)},
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (const auto flag = flags.find(arguments[i]); flag != flags.end()) {
            *flag->second = true;
            continue;
        }
        const auto value = values.find(arguments[i]);
        if (value == values.end() || ++i == arguments.size() || !value->second(arguments[i]))
            return std::nullopt;
    }
    if (request.module.empty() || (whole && !options.targetRate))
        return std::nullopt;
    edit.normalize = options.normalize;
    request.work = whole ? DecodeWork::Whole : DecodeWork::Prepare;
    return request;
}

}  // namespace quorbin::decode
