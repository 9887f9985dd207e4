#include "views/DesktopCommandLine.h"

#include <QRegularExpression>

namespace fluvex {

namespace {

constexpr int kShortestFileArgument = 3;

// The file rule of the command line: a path names a file when it starts the way paths start
// here (a letter, an absolute '/' or a relative '.'), which leaves out switches.
bool IsFileArgument(const std::string& argument) {
    const QString text = QString::fromUtf8(argument);
    if (text.size() < kShortestFileArgument) return false;
    const QChar first = text.front();
    return first.isLetter() || first == '/' || first == '.';
}

std::optional<QSize> ParseSize(const QString& text) {
    static const QRegularExpression kSize(QStringLiteral("^(\\d{1,5})x(\\d{1,5})$"));
    const QRegularExpressionMatch match = kSize.match(text);
    if (!match.hasMatch()) return std::nullopt;
    const QSize size(match.captured(1).toInt(), match.captured(2).toInt());
    if (size.isEmpty()) return std::nullopt;
    return size;
}

}  // namespace

std::optional<DesktopCommandLine> ParseDesktopCommandLine(const std::vector<std::string>& arguments,
                                                          QString* error) {
    DesktopCommandLine result;
    const auto fail = [error](const QString& why) {
        if (error != nullptr) *error = why;
        return std::nullopt;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool isOption =
            argument == "--screenshot" || argument == "--size" || argument == "--panel";
        if (!isOption) {
            // The bytes as the system gave them: a name that is not UTF-8 still opens.
            if (IsFileArgument(argument)) result.files.emplace_back(argument);
            continue;
        }
        if (i + 1 == arguments.size())
            return fail(QString::fromStdString(argument) + " needs a value");
        const std::string& value = arguments[++i];
        if (argument == "--screenshot") {
            result.screenshot = std::filesystem::path(value);
        } else if (argument == "--panel") {
            result.panel = QString::fromUtf8(value);
        } else if (const auto size = ParseSize(QString::fromUtf8(value))) {
            result.size = *size;
        } else {
            return fail("--size wants WIDTHxHEIGHT in pixels, e.g. 1280x800, not " +
                        QString::fromUtf8(value));
        }
    }
    if (!result.screenshot && (!result.size.isEmpty() || !result.panel.isEmpty()))
        return fail("--size and --panel go with --screenshot");
    return result;
}

}  // namespace fluvex
