#include "sim/command_parser.h"

#include <string>

#include "sim/fault_plan.h"

namespace morvik::sim {

namespace {

// Walks the normalised line (upper case, no blanks).
class Cursor {
public:
    explicit Cursor(std::string_view text) : text_(text) {}

    bool AtEnd() const { return position_ >= text_.size(); }
    char Next() { return text_[position_++]; }
    bool Accept(std::string_view word) {
        if (text_.substr(position_).starts_with(word)) {
            position_ += word.size();
            return true;
        }
        return false;
    }
    // The digits that follow, if any; a value is "absent" when there are none.
    // More than six digits cannot be a valid number anywhere: malformed.
    bool Number(std::optional<unsigned>& number) {
        std::size_t digits = 0;
        unsigned value = 0;
        while (!AtEnd() && text_[position_] >= '0' && text_[position_] <= '9') {
            if (++digits > 6) return false;
            value = value * 10 + static_cast<unsigned>(text_[position_++] - '0');
        }
        number = digits > 0 ? std::optional<unsigned>(value) : std::nullopt;
        return true;
    }

private:
    std::string_view text_;
    std::size_t position_ = 0;
};

Command Make(Command::Kind kind, std::optional<unsigned> number = std::nullopt) {
    return Command{kind, number};
}

std::optional<Command> SettingCommand(Cursor& cursor, Setting setting) {
    std::optional<unsigned> number;
    if (!cursor.Number(number)) return std::nullopt;
    Command command = Make(Command::Kind::kSetting, number);
    command.value = number.value_or(0);
    command.setting = setting;
    return command;
}

std::optional<Command> WithNumber(Cursor& cursor, Command::Kind kind, bool required) {
    std::optional<unsigned> number;
    if (!cursor.Number(number) || (required && !number)) return std::nullopt;
    return Make(kind, number);
}

std::optional<Command> RegisterCommand(Cursor& cursor) {
    std::optional<unsigned> number;
    if (!cursor.Number(number) || !number || cursor.AtEnd()) return std::nullopt;
    const char operation = cursor.Next();
    if (operation == '?') return Make(Command::Kind::kReadRegister, number);
    if (operation != '=') return std::nullopt;
    std::optional<unsigned> value;
    if (!cursor.Number(value) || !value) return std::nullopt;
    Command command = Make(Command::Kind::kWriteRegister, number);
    command.value = *value;
    return command;
}

std::optional<Command> AmpersandCommand(Cursor& cursor) {
    if (cursor.AtEnd()) return std::nullopt;
    switch (cursor.Next()) {
        case 'V': return WithNumber(cursor, Command::Kind::kListProfile, false);
        case 'F': return WithNumber(cursor, Command::Kind::kActivateProfile, false);
        case 'C': return SettingCommand(cursor, Setting::kDcd);
        case 'D': return SettingCommand(cursor, Setting::kDtr);
        case 'W':
            if (cursor.Accept("-")) return WithNumber(cursor, Command::Kind::kClearProfile, true);
            return WithNumber(cursor, Command::Kind::kStoreProfile, false);
        default: return std::nullopt;
    }
}

std::optional<Command> BackslashCommand(Cursor& cursor) {
    if (cursor.AtEnd()) return std::nullopt;
    switch (cursor.Next()) {
        case 'Q': return SettingCommand(cursor, Setting::kFlowControl);
        case 'R': return SettingCommand(cursor, Setting::kRateCode);
        default: return std::nullopt;
    }
}

std::optional<Command> CaretCommand(Cursor& cursor) {
    if (cursor.Accept("SENB,")) return WithNumber(cursor, Command::Kind::kOnAirFixedPart, false);
    if (cursor.Accept("SOAC,")) return WithNumber(cursor, Command::Kind::kOnAirPortable, false);
    if (cursor.Accept("SBASC")) return WithNumber(cursor, Command::Kind::kChangeConfig, true);
    return std::nullopt;
}

std::optional<Command> NextCommand(Cursor& cursor) {
    switch (cursor.Next()) {
        case 'E': return SettingCommand(cursor, Setting::kEcho);
        case 'Q': return SettingCommand(cursor, Setting::kSuppression);
        case 'V': return SettingCommand(cursor, Setting::kResultFormat);
        case 'Z': return WithNumber(cursor, Command::Kind::kReset, false);
        case 'I': return WithNumber(cursor, Command::Kind::kInfo, false);
        case 'S': return RegisterCommand(cursor);
        case '&': return AmpersandCommand(cursor);
        case '\\': return BackslashCommand(cursor);
        case '^': return CaretCommand(cursor);
        default: return std::nullopt;
    }
}

}  // namespace

std::optional<std::vector<Command>> ParseCommandLine(std::string_view line) {
    const std::string normal = NormaliseCommandLine(line);
    if (!std::string_view(normal).starts_with("AT")) return std::nullopt;
    Cursor cursor(std::string_view(normal).substr(2));
    std::vector<Command> commands;
    while (!cursor.AtEnd()) {
        auto command = NextCommand(cursor);
        if (!command) return std::nullopt;
        commands.push_back(*command);
    }
    return commands;
}

}  // namespace morvik::sim
