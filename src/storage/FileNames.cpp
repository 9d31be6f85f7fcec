#include "FileNames.h"

#include "Cp1252.h"
#include "System.h"

namespace krellon {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

bool IsEscape(char16_t c) {
    return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF;
}

// Length of the valid UTF-8 sequence at bytes[i], 0 when there is none: overlong forms,
// surrogates and code points past U+10FFFF are not valid.
std::size_t SequenceAt(std::string_view bytes, std::size_t i, char32_t& code) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(bytes[i + k]); };
    const unsigned char lead = b(0);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (bytes.size() - i < length) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((b(k) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (b(k) & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return 0;
    }
    return length;
}

}  // namespace

QString NameFromBytes(std::string_view bytes) {
    QString name;
    name.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t code = 0;
        const std::size_t length = SequenceAt(bytes, i, code);
        if (length == 0) {
            name +=
                QChar(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(bytes[i])));
            ++i;
            continue;
        }
        if (code < 0x10000) {
            name += QChar(static_cast<char16_t>(code));
        } else {
            name += QChar(QChar::highSurrogate(code));
            name += QChar(QChar::lowSurrogate(code));
        }
        i += length;
    }
    return name;
}

std::string BytesFromName(const QString& name) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(name.size()));
    qsizetype start = 0;
    // Runs of ordinary characters go through Qt's encoder; escapes become their byte.
    for (qsizetype i = 0; i <= name.size(); ++i) {
        if (i == name.size() || IsEscape(name[i].unicode())) {
            bytes += name.mid(start, i - start).toStdString();
            if (i < name.size()) {
                bytes += static_cast<char>(name[i].unicode() - kEscapeBase);
            }
            start = i + 1;
        }
    }
    return bytes;
}

QString ShownFileName(const QString& name) {
    QString shown;
    shown.reserve(name.size());
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        if (IsEscape(u)) {
            shown += QChar(0xFFFD);
        } else if (u == '\n') {
            shown += QChar(0x23CE);  // return symbol
        } else if (u < 0x20) {
            shown += QChar(static_cast<char16_t>(0x2400 + u));  // control pictures
        } else if (u == 0x7F) {
            shown += QChar(0x2421);
        } else {
            shown += c;
        }
    }
    return shown;
}

bool StorableName(const QString& name) {
    for (const QChar c : name) {
        if (IsEscape(c.unicode())) {
            return false;
        }
    }
    return FromCp1252(ToCp1252(name)) == name;
}

QStringList ProgramArguments(int argc, char** argv) {
    QStringList arguments;
    for (const std::filesystem::path& argument : sys::programArguments(argc, argv)) {
        arguments << NameFromPath(argument);
    }
    return arguments;
}

}  // namespace krellon
