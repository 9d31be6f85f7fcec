// krellon unpack and krellon pack: an image file as a folder of palette PNGs and images.json,
// which holds everything else the file stores, and back to the same bytes.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <set>

#include "Commands.h"
#include "formats/PngImage.h"
#include "formats/StoredImageFile.h"
#include "storage/Cp1252.h"
#include "storage/FileNames.h"
#include "storage/FileWrites.h"
#include "storage/Files.h"
#include "transfers/ImageTransfers.h"

namespace krellon::cli {

namespace {

const QString kIndexName = QStringLiteral("images.json");
constexpr std::uint64_t kLimit = std::uint64_t{1} << 30;

QString Hex(std::span<const std::uint8_t> bytes) {
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                          static_cast<qsizetype>(bytes.size()))
                                   .toHex());
}

// 4-byte palette entries as stored, one a line of images.json for a readable diff.
QJsonArray Entries(const std::vector<std::uint8_t>& palette) {
    QJsonArray entries;
    for (std::size_t k = 0; k + 4 <= palette.size(); k += 4) {
        entries.append(Hex(std::span(palette).subspan(k, 4)));
    }
    return entries;
}

// The fourth bytes of a palette as stored, or nothing when all are 0, as the game writes them.
QString FourthBytes(const std::vector<std::uint8_t>& palette) {
    std::vector<std::uint8_t> fourth;
    for (std::size_t k = 3; k < palette.size(); k += 4) {
        fourth.push_back(palette[k]);
    }
    return std::all_of(fourth.begin(), fourth.end(), [](std::uint8_t b) { return b == 0; })
               ? QString()
               : Hex(fourth);
}

// The drawn colours of 4-byte palette entries, black past them.
Palette Colours(const std::vector<std::uint8_t>& entries) {
    Palette palette{};
    for (std::size_t k = 0; k < palette.size() && 4 * k + 3 < entries.size(); ++k) {
        palette[k] = MakeColour(entries[4 * k], entries[4 * k + 1], entries[4 * k + 2]);
    }
    return palette;
}

// What images.json says, read field by field; the first fault stops it.
class IndexReader {
public:
    explicit IndexReader(QString where) : where_(std::move(where)) {}
    QString fault;

    QJsonValue field(const QJsonObject& object, const QString& key, QJsonValue::Type type) {
        const QJsonValue value = object.value(key);
        if (fault.isEmpty() && value.type() != type) {
            fault = where_ + "\"" + key + "\" is missing or of another kind";
        }
        return value;
    }
    std::int32_t number(const QJsonObject& object, const QString& key) {
        const double v = field(object, key, QJsonValue::Double).toDouble();
        if (fault.isEmpty() && (v != static_cast<double>(static_cast<std::int64_t>(v)) ||
                                v < INT32_MIN || v > INT32_MAX)) {
            fault = where_ + "\"" + key + "\" is not a 32-bit whole number";
        }
        return fault.isEmpty() ? static_cast<std::int32_t>(v) : 0;
    }
    std::vector<std::uint8_t> bytes(const QJsonObject& object, const QString& key,
                                    bool optional = false) {
        if (optional && !object.contains(key)) {
            return {};
        }
        const QString text = field(object, key, QJsonValue::String).toString();
        static const QRegularExpression hex("^([0-9a-fA-F]{2})*$");
        if (fault.isEmpty() && !hex.match(text).hasMatch()) {
            fault = where_ + "\"" + key + "\" is not bytes in hexadecimal";
        }
        const QByteArray b = QByteArray::fromHex(text.toLatin1());
        return {b.begin(), b.end()};
    }

private:
    QString where_;
};

}  // namespace

int Unpack(const QStringList& arguments, Streams& io) {
    Command command("unpack",
                    "Writes every image of an image file into a folder as an 8-bit palette PNG, "
                    "NNN-<name>.png, keeping every index and palette entry, and images.json with "
                    "everything else the file holds; krellon pack makes the same bytes of it.",
                    "IMAGES.img");
    const QCommandLineOption output({"o", "output"}, "The folder to write (made when missing).",
                                    "FOLDER");
    command.parser.addOption(output);
    if (const auto status = command.parse(arguments, io)) {
        return *status;
    }
    if (command.files().size() != 1 || !command.parser.isSet(output)) {
        return command.usage(io, "give one image file and the folder (-o)");
    }
    const QString file = command.files().front();
    const QString folder = command.parser.value(output);
    auto bytes = ReadWholeFile(PathOf(file), kLimit);
    auto model =
        bytes ? DecodeStoredImageFile(*bytes) : Result<StoredImageFile>::failure(bytes.error());
    if (!model) {
        return Fail(io, file, QString::fromStdString(model.error()));
    }
    if (const Status made = MakeFolder(PathOf(folder)); !made.ok()) {
        return Fail(io, folder, QString::fromStdString(made.error()));
    }
    const Palette filePalette = Colours(model->filePalette);
    ReplaceBatch batch;
    const QString reason = "krellon unpack of " + NameFromPath(PathOf(file).filename());
    QJsonArray images;
    for (std::size_t i = 0; i < model->images.size(); ++i) {
        const StoredImage& image = model->images[i];
        QJsonObject entry{{"name", FromCp1252(image.name)},
                          {"nameEnd", image.nameEnd},
                          {"spare", QJsonArray{image.spare1, image.spare2}},
                          {"paletteCount", image.paletteCount()}};
        if (const QString fourth = FourthBytes(image.palette); !fourth.isEmpty()) {
            entry["paletteFourthBytes"] = fourth;
        }
        if (image.pixels.empty()) {
            // An image of no pixels has no picture; its size and palette are kept here.
            entry["width"] = image.width;
            entry["height"] = image.height;
            entry["palette"] = Hex(image.palette);
        } else {
            const QString picture =
                AllImagesName(static_cast<int>(i + 1), image.name, ImageFormat::Png);
            entry["picture"] = picture;
            // An image without a palette is drawn with the file's, as the explorer shows it.
            const auto png = EncodePalettePng(
                image.width, image.height,
                image.palette.empty() ? filePalette : Colours(image.palette), image.pixels);
            if (const Status added = batch.add(PathOf(folder) / PathOf(picture), png, reason);
                !added.ok()) {
                return Fail(io, NameFromPath(PathOf(folder) / PathOf(picture)), ReasonText(added));
            }
        }
        images.append(entry);
    }
    const QJsonObject index{
        {"signature", Hex({reinterpret_cast<const std::uint8_t*>(model->signature.data()),
                           model->signature.size()})},
        {"headerWord", model->headerWord},
        {"filePalette", Entries(model->filePalette)},
        {"images", images},
        {"tail", Hex(model->tail)}};
    const QByteArray json = QJsonDocument(index).toJson();
    const auto* data = reinterpret_cast<const std::uint8_t*>(json.constData());
    const std::filesystem::path indexPath = PathOf(folder) / PathOf(kIndexName);
    Status done = batch.add(indexPath, {data, static_cast<std::size_t>(json.size())}, reason);
    if (done.ok()) {
        done = batch.commit();
    }
    return done.ok() ? 0 : Fail(io, folder, ReasonText(done));
}

int Pack(const QStringList& arguments, Streams& io) {
    Command command("pack",
                    "Builds an image file from a folder that krellon unpack wrote: images.json in "
                    "its order, each image's picture the PNG it names. A picture missing, one "
                    "that images.json does not name, or a damaged images.json is refused.",
                    "FOLDER");
    const QCommandLineOption output({"o", "output"}, "The image file to write.", "IMAGES.img");
    command.parser.addOption(output);
    if (const auto status = command.parse(arguments, io)) {
        return *status;
    }
    if (command.files().size() != 1 || !command.parser.isSet(output)) {
        return command.usage(io, "give one folder and the image file (-o)");
    }
    const QString folder = command.files().front();
    const QString out = command.parser.value(output);
    const QString indexName = NameFromPath(PathOf(folder) / PathOf(kIndexName));
    const auto json = ReadWholeFile(PathOf(indexName), kLimit);
    if (!json) {
        return Fail(io, indexName, QString::fromStdString(json.error()));
    }
    QJsonParseError parsed;
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray(reinterpret_cast<const char*>(json->data()),
                                           static_cast<qsizetype>(json->size())),
                                &parsed);
    if (!document.isObject()) {
        return Fail(
            io, indexName,
            parsed.error != QJsonParseError::NoError
                ? QString("not JSON: %1 at byte %2").arg(parsed.errorString()).arg(parsed.offset)
                : QString("not a JSON object"));
    }
    const QJsonObject index = document.object();
    IndexReader head("");
    StoredImageFile model;
    const auto signature = head.bytes(index, "signature");
    model.signature.assign(signature.begin(), signature.end());
    model.headerWord = head.number(index, "headerWord");
    for (const QJsonValue entry : head.field(index, "filePalette", QJsonValue::Array).toArray()) {
        const auto bytes = head.bytes(QJsonObject{{"filePalette", entry}}, "filePalette");
        if (bytes.size() != 4 && head.fault.isEmpty()) {
            head.fault = "\"filePalette\" holds an entry that is not 4 bytes in hexadecimal";
        }
        model.filePalette.insert(model.filePalette.end(), bytes.begin(), bytes.end());
    }
    model.tail = head.bytes(index, "tail");
    const QJsonArray images = head.field(index, "images", QJsonValue::Array).toArray();
    if (head.fault.isEmpty() && (signature.size() != 4 || model.filePalette.size() % 4 != 0 ||
                                 model.filePalette.size() > 4 * kPaletteSize)) {
        head.fault = "the signature is 4 bytes and the file palette 0 to 256 entries of 4 bytes";
    }
    if (!head.fault.isEmpty()) {
        return Fail(io, indexName, head.fault);
    }

    // Every picture named once with its own number, and no other picture in the folder.
    static const QRegularExpression numbered(R"(^(\d{3})-.*\.png$)",
                                             QRegularExpression::CaseInsensitiveOption);
    std::set<QString> named;
    std::set<QString> numbers;
    for (qsizetype i = 0; i < images.size(); ++i) {
        IndexReader entry(QString("image %1: ").arg(i + 1));
        const QJsonObject object = images[i].toObject();
        if (!images[i].isObject()) {
            return Fail(io, indexName, QString("image %1 is not a JSON object").arg(i + 1));
        }
        StoredImage& image = model.images.emplace_back();
        const QString name = entry.field(object, "name", QJsonValue::String).toString();
        image.name = ToCp1252(name);
        image.nameEnd = static_cast<std::uint8_t>(entry.number(object, "nameEnd"));
        const QJsonArray spare = entry.field(object, "spare", QJsonValue::Array).toArray();
        const std::int32_t paletteCount = entry.number(object, "paletteCount");
        auto fourth = entry.bytes(object, "paletteFourthBytes", true);
        if (entry.fault.isEmpty() && FromCp1252(image.name) != name) {
            entry.fault =
                QString("image %1: the name has a character Windows-1252 cannot store").arg(i + 1);
        }
        if (entry.fault.isEmpty() &&
            (spare.size() != 2 || paletteCount < 0 || paletteCount > kPaletteSize ||
             (!fourth.empty() && fourth.size() != static_cast<std::size_t>(paletteCount)))) {
            entry.fault = QString(
                              "image %1: two spare numbers, a palette count of 0 to 256 and "
                              "as many fourth bytes")
                              .arg(i + 1);
        }
        if (entry.fault.isEmpty()) {
            image.spare1 = entry.number(QJsonObject{{"spare", spare[0]}}, "spare");
            image.spare2 = entry.number(QJsonObject{{"spare", spare[1]}}, "spare");
        }
        if (!entry.fault.isEmpty()) {
            return Fail(io, indexName, entry.fault);
        }
        fourth.resize(static_cast<std::size_t>(paletteCount), 0);
        if (!object.contains("picture")) {
            image.width = entry.number(object, "width");
            image.height = entry.number(object, "height");
            image.palette = entry.bytes(object, "palette");
            if (!entry.fault.isEmpty() ||
                static_cast<std::int64_t>(image.width) * image.height != 0 ||
                image.palette.size() != 4 * fourth.size()) {
                return Fail(io, indexName,
                            QString("image %1: no picture, and not an image of no pixels with "
                                    "its palette")
                                .arg(i + 1));
            }
        } else {
            const QString picture = entry.field(object, "picture", QJsonValue::String).toString();
            const auto number = numbered.match(picture);
            if (!number.hasMatch() || picture.contains('/') || picture.contains('\\') ||
                !numbers.insert(number.captured(1)).second) {
                return Fail(io, indexName,
                            QString("image %1: \"%2\" is not a picture NNN-name.png of a number "
                                    "no other picture has")
                                .arg(i + 1)
                                .arg(picture));
            }
            named.insert(picture);
            const QString pictureName = NameFromPath(PathOf(folder) / PathOf(picture));
            ImagePicture read;
            if (const Status status = ReadPicture(pictureName, read); !status.ok()) {
                return Fail(io, pictureName, QString::fromStdString(status.error()));
            }
            image.width = read.width;
            image.height = read.height;
            image.pixels = std::move(read.pixels);
            read.palette.resize(static_cast<std::size_t>(paletteCount), 0);
            for (std::size_t k = 0; k < read.palette.size(); ++k) {
                const ColourValue c = read.palette[k];
                image.palette.insert(
                    image.palette.end(),
                    {static_cast<std::uint8_t>(RedOf(c)), static_cast<std::uint8_t>(GreenOf(c)),
                     static_cast<std::uint8_t>(BlueOf(c)), fourth[k]});
            }
        }
    }
    for (const std::string& bytes : ListFiles(PathOf(folder), "*.png")) {
        const QString png = NameFromBytes(bytes);
        if (!named.count(png)) {
            return Fail(io, NameFromPath(PathOf(folder) / PathOf(png)),
                        "images.json names no such picture");
        }
    }
    if (SameFile(out, indexName)) {
        return Fail(io, out, kOwnInput);
    }
    const Status written = WriteOutput(out, EncodeStoredImageFile(model),
                                       "krellon pack of " + NameFromPath(PathOf(folder)));
    return written.ok() ? 0 : Fail(io, out, ReasonText(written));
}

}  // namespace krellon::cli
