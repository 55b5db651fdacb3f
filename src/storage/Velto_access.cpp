#include "storage/Velto_access.h"

#include <vector>

#include "platform/backend.h"
#include "platform/dialogs.h"
#include "platform/encoding.h"
#include "platform/files.h"
#include "platform/fonts.h"

namespace storage {
namespace {

using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageKind;

constexpr std::string_view kVelto = "Velto";
// Far beyond any real scenario; a larger one is damage or a hostile file.
constexpr size_t kMaxScenarioBytes = 64u << 20;

// clang-format off
// "が見つかりません"
constexpr std::string_view kNotFound = "\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1";
// "ファイルのヘッダIDが違います。\nこのファイルはOrvanta３で利用できるファイルではありません"
constexpr std::string_view kWrongId =
    "\x83t\x83@\x83" "C\x83\x8B\x82\xCC\x83w\x83" "b\x83_ID\x82\xAA\x88\xE1\x82\xA2\x82\xDC\x82\xB7\x81"
    "B\n\x82\xB1\x82\xCC\x83t\x83@\x83" "C\x83\x8B\x82\xCDOrvanta\x82R\x82\xC5\x97\x98\x97p\x82\xC5\x82"
    "\xAB\x82\xE9\x83t\x83@\x83" "C\x83\x8B\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1";
// "ファイルタイプが違います\nこのファイルは正常に読み込めないかもしれません"
constexpr std::string_view kWrongFileType =
    "\x83t\x83@\x83" "C\x83\x8B\x83^\x83" "C\x83v\x82\xAA\x88\xE1\x82\xA2\x82\xDC\x82\xB7\n\x82\xB1\x82"
    "\xCC\x83t\x83@\x83" "C\x83\x8B\x82\xCD\x90\xB3\x8F\xED\x82\xC9\x93\xC7\x82\xDD\x8D\x9E\x82\xDF\x82"
    "\xC8\x82\xA2\x82\xA9\x82\xE0\x82\xB5\x82\xEA\x82\xDC\x82\xB9\x82\xF1";
// "このファイルには現バージョンで対応していない\nコマンドが含まれている可能性があります\n
//  最新版のOrvantaを入手することをおすすめします"
constexpr std::string_view kNewerCommands =
    "\x82\xB1\x82\xCC\x83t\x83@\x83" "C\x83\x8B\x82\xC9\x82\xCD\x8C\xBB\x83o\x81[\x83W\x83\x87\x83\x93"
    "\x82\xC5\x91\xCE\x89\x9E\x82\xB5\x82\xC4\x82\xA2\x82\xC8\x82\xA2\n\x83R\x83}\x83\x93\x83h\x82\xAA"
    "\x8A\xDC\x82\xDC\x82\xEA\x82\xC4\x82\xA2\x82\xE9\x89\xC2\x94\\\x90\xAB\x82\xAA\x82\xA0\x82\xE8\x82"
    "\xDC\x82\xB7\n\x8D\xC5\x90V\x94\xC5\x82\xCCOrvanta\x82\xF0\x93\xFC\x8E\xE8\x82\xB7\x82\xE9\x82\xB1"
    "\x82\xC6\x82\xF0\x82\xA8\x82\xB7\x82\xB7\x82\xDF\x82\xB5\x82\xDC\x82\xB7";
// "実行に必要なファイルの展開や、セーブファイルの保存のため\r\n"
constexpr std::string_view kCreateFolderBefore =
    "\x8E\xC0\x8Ds\x82\xC9\x95K\x97v\x82\xC8\x83t\x83@\x83" "C\x83\x8B\x82\xCC\x93W\x8AJ\x82\xE2\x81"
    "A\x83Z\x81[\x83u\x83t\x83@\x83" "C\x83\x8B\x82\xCC\x95\xDB\x91\xB6\x82\xCC\x82\xBD\x82\xDF\r\n";
// " フォルダを作成します。\r\nよろしいですか？"
constexpr std::string_view kCreateFolderAfter =
    " \x83t\x83H\x83\x8B\x83_\x82\xF0\x8D\xEC\x90\xAC\x82\xB5\x82\xDC\x82\xB7\x81" "B\r\n\x82\xE6\x82"
    "\xEB\x82\xB5\x82\xA2\x82\xC5\x82\xB7\x82\xA9\x81H";
// "フォルダの作成に失敗しました"
constexpr std::string_view kCreateFolderFailed =
    "\x83t\x83H\x83\x8B\x83_\x82\xCC\x8D\xEC\x90\xAC\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
// "スタートブック", "スタートページ"
constexpr std::string_view kStartBook = "\x83X\x83^\x81[\x83g\x83u\x83" "b\x83N";
constexpr std::string_view kStartPage = "\x83X\x83^\x81[\x83g\x83y\x81[\x83W";
// "スタックオーバーフローです。\nサブルーチンコールが深すぎます。"
constexpr std::string_view kStackOverflow =
    "\x83X\x83^\x83" "b\x83N\x83I\x81[\x83o\x81[\x83t\x83\x8D\x81[\x82\xC5\x82\xB7\x81" "B\n\x83T\x83u"
    "\x83\x8B\x81[\x83`\x83\x93\x83R\x81[\x83\x8B\x82\xAA\x90[\x82\xB7\x82\xAC\x82\xDC\x82\xB7\x81" "B";
// "次のファイルを展開できませんでした"
constexpr std::string_view kExtractionFailed =
    "\x8E\x9F\x82\xCC\x83t\x83@\x83" "C\x83\x8B\x82\xF0\x93W\x8AJ\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82"
    "\xF1\x82\xC5\x82\xB5\x82\xBD";
// "ほか", "件": "ほか3件" counts the files a list leaves out
constexpr std::string_view kMoreBefore = "\x82\xD9\x82\xA9";
constexpr std::string_view kMoreAfter = "\x8C\x8F";
// "展開するファイルが大きすぎるため、展開を中止しました\r\n"
constexpr std::string_view kExtractionTooLarge =
    "\x93W\x8AJ\x82\xB7\x82\xE9\x83t\x83@\x83" "C\x83\x8B\x82\xAA\x91\xE5\x82\xAB\x82\xB7\x82\xAC\x82"
    "\xE9\x82\xBD\x82\xDF\x81" "A\x93W\x8AJ\x82\xF0\x92\x86\x8E~\x82\xB5\x82\xDC\x82\xB5\x82\xBD\r\n";
// clang-format on

// A box lists this many files that were not extracted, and counts the rest.
constexpr size_t kMaxListedFiles = 10;

void ShowError(std::string_view text) {
    platform::ShowMessage(MessageKind::Error, MessageButtons::Ok, text);
}

// An error that ends the game: the box, then the quit request.
void Fail(std::string_view text) {
    ShowError(text);
    platform::Events().Terminate(1);
}

// A file that cannot be trusted at all: "damaged", with its path, then the quit.
void FailDamaged(const std::string& path) {
    Fail(std::string(scenario::kFileDamagedMessage) + platform::Utf8ToCp932(path));
}

// Abort ends the game; Ignore goes on.
bool AskAbortOrIgnore(std::string_view text) {
    if (platform::ShowMessage(MessageKind::Error, MessageButtons::AbortIgnore, text) ==
        MessageAnswer::Abort) {
        platform::Events().Terminate(1);
        return false;
    }
    return true;
}

std::string FileNameOf(const std::string& path) {
    return path.substr(platform::DirectoryOf(path).size());
}

// Writes into an extracted file while the start's extraction budget lasts.
class BudgetedFileStream : public LinkStream {
public:
    BudgetedFileStream(FILE* file, uint64_t& budget) : file_(file), budget_(budget) {}
    bool Write(const void* data, size_t size) override {
        if (size > budget_) {
            overBudget = true;
            return false;
        }
        budget_ -= size;
        return file_.Write(data, size);
    }
    bool overBudget = false;

private:
    LinkFileStream file_;
    uint64_t& budget_;
};

void ReportNotExtracted(const std::vector<std::string>& files) {
    if (files.empty()) return;
    std::string text(kExtractionFailed);
    for (size_t i = 0; i < files.size() && i < kMaxListedFiles; ++i) text += "\r\n" + files[i];
    if (files.size() > kMaxListedFiles) {
        text += "\r\n";
        text += kMoreBefore;
        text += std::to_string(files.size() - kMaxListedFiles);
        text += kMoreAfter;
    }
    ShowError(text);
}

}  // namespace

bool IsMarkedForExtraction(const LinkEntry& entry) {
    return (entry.options & kLinkExtract) != 0 && Link_KindOf(&entry) != 0;
}

TVeltoAccessControl::TVeltoAccessControl()
    : pluginDirectories(platform::ProgramFileFolders(platform::ProgramFiles::Plugins)),
      defaultFont(platform::kDefaultFaceName) {
    process_.Stack = &stack_;
    commands_.File = &document_;
    variables_.SetFile(&document_);
    layers_.SetDocument(&document_);
}

TVeltoAccessControl::~TVeltoAccessControl() {
    configuration_.reset();
    Link_Close(&library_);
    Link_Close(&package_);
}

bool TVeltoAccessControl::Open(const std::string& path) {
    if (!ReadPackage(path) || !CheckFileType()) return false;
    LoadConfiguration(platform::ReplaceExtension(path, ".cfg"));
    PrepareDataDirectory();
    SetStartPosition();
    return true;
}

bool TVeltoAccessControl::Inspect(const std::string& path) {
    if (!ReadPackage(path)) return false;
    SetStartPosition();
    return true;
}

bool TVeltoAccessControl::InspectLibrary(const std::string& path) {
    packageDirectory_ = platform::DirectoryOf(path);
    return OpenLibrary(path);
}

bool TVeltoAccessControl::ReadPackage(const std::string& path) {
    packagePath_ = path;
    variables_.SetScriptFile(platform::Utf8ToCp932(FileNameOf(path)));
    if (!OpenArchive(path)) return false;
    LocateDirectories(path);
    return true;
}

void TVeltoAccessControl::SetStartPosition() {
    stack_.ClearFrame();
    commands_.SetBook(document_.GetValue(kVelto, "StartBook", kStartBook));
    commands_.SetPage(document_.GetValue(kVelto, "StartPage", kStartPage));
    commandIndex = 0;
    process_.Reset();
    layers_.Load();
}

bool TVeltoAccessControl::OpenArchive(const std::string& path) {
    if (!platform::FileExists(path)) {
        Fail(platform::Utf8ToCp932(path) + std::string(kNotFound));
        return false;
    }
    Link_Close(&package_);
    bool opened;
    if (Link_HasId(path.c_str(), "OV3PKG")) {
        opened = Link_Open(path.c_str(), &package_);
    } else if (Link_HasId(path.c_str(), "MZ")) {
        opened = Link_OpenAppended(path.c_str(), &package_);
    } else if (Link_HasId(path.c_str(), "///")) {
        auto text = platform::ReadFile(path, kMaxScenarioBytes);
        if (!text || !document_.LoadFromText(std::move(*text))) {
            FailDamaged(path);
            return false;
        }
        return true;
    } else {
        Fail(kWrongId);
        return false;
    }
    // A directory that does not fit the file, or an executable without an
    // archive behind it: nothing in it could be trusted.
    if (!opened) {
        FailDamaged(path);
        return false;
    }
    // Reading stops at the limit, so a small entry that inflates without end
    // costs no more than a scenario at the limit.
    LinkBoundedStream scenario(kMaxScenarioBytes);
    if (!Link_ReadByName(&scenario, "velto.vf3", &package_)) {
        if (scenario.overflowed) {
            FailDamaged(path);
            return false;
        }
        scenario.bytes.clear();
    }
    if (!document_.LoadFromText(std::move(scenario.bytes))) {
        FailDamaged(path);
        return false;
    }
    return true;
}

bool TVeltoAccessControl::HasGameFileType() {
    return document_.GetValue(kVelto, "FileType", "") == "OV3";
}

bool TVeltoAccessControl::HasKnownCommandVersion() {
    return document_.GetInt(kVelto, "CommandVersion", kNewestCommandVersion) <=
           kNewestCommandVersion;
}

bool TVeltoAccessControl::CheckFileType() {
    if (!HasGameFileType() && !AskAbortOrIgnore(kWrongFileType)) return false;
    if (!HasKnownCommandVersion() && !AskAbortOrIgnore(kNewerCommands)) return false;
    return true;
}

void TVeltoAccessControl::LoadConfiguration(const std::string& cfgPath) {
    if (!configuration_) configuration_ = std::make_unique<TConfigLoader>(cfgPath);
    useMusic = configuration_->GetBool("System.UseMusic", true);
    useSound = configuration_->GetBool("System.UseSound", true);
    displayChange = configuration_->GetBool("System.DisplayChange", false);
    windowLeft = configuration_->GetInt("MainForm.Left", 0);
    windowTop = configuration_->GetInt("MainForm.Top", 0);
    defaultFont = configuration_->GetText("System.DefaultFont", platform::kDefaultFaceName);
    if (susieLoaded_) OpenPlugIns();
}

void TVeltoAccessControl::OpenPlugIns() {
    for (const std::string& folder : pluginDirectories) susie_.OpenPlugIn(folder + "*.spi");
}

void TVeltoAccessControl::LocateDirectories(const std::string& path) {
    packageDirectory_ = platform::DirectoryOf(path);
    std::string dataFolder = document_.GetValue(kVelto, "DataDirectory", "");
    if (!dataFolder.empty()) {
        // The folder is where extraction writes: it must stay below the package.
        auto relative = platform::SafeRelativePath(dataFolder);
        dataDirectory_ = relative ? packageDirectory_ + *relative + "/" : "";
    }
    // Extraction goes to the folder named after the package, whatever
    // "DataDirectory" says.
    if (ExtractsOnOpen()) dataDirectory_ = platform::ReplaceExtension(path, "") + "/";
}

bool TVeltoAccessControl::ExtractsOnOpen() {
    return package_.file && document_.GetBool(kVelto, "AutoExtract", false);
}

void TVeltoAccessControl::PrepareDataDirectory() {
    if (!ExtractsOnOpen()) return;
    std::string folder = dataDirectory_.substr(0, dataDirectory_.size() - 1);
    if (!platform::DirectoryExists(folder)) {
        std::string question(kCreateFolderBefore);
        question += platform::Utf8ToCp932(dataDirectory_);
        question += kCreateFolderAfter;
        if (platform::ShowMessage(MessageKind::Warning, MessageButtons::YesNo, question) !=
            MessageAnswer::Yes) {
            return;
        }
        if (!platform::CreateDirectory(folder)) {
            ShowError(kCreateFolderFailed);
            return;
        }
    }
    uint64_t budget = extractionLimit;
    std::vector<std::string> notExtracted;  // CP932 paths
    for (int32_t i = 0; i < package_.count; ++i) {
        const LinkEntry* entry = Link_GetEntry(&package_, i);
        if (!IsMarkedForExtraction(*entry)) continue;
        Extraction result = ExtractEntry(i, budget);
        if (result != Extraction::Failed && result != Extraction::OverLimit) continue;
        std::string path = platform::Utf8ToCp932(dataDirectory_) + entry->name;
        if (result == Extraction::OverLimit) {
            ShowError(std::string(kExtractionTooLarge) + path);
            break;
        }
        notExtracted.push_back(std::move(path));
    }
    ReportNotExtracted(notExtracted);
}

TVeltoAccessControl::Extraction TVeltoAccessControl::ExtractEntry(int32_t index, uint64_t& budget) {
    // Names that would leave the data directory are never written.
    auto relative = platform::SafeRelativePath(Link_GetEntry(&package_, index)->name);
    if (!relative) return Extraction::Failed;
    if (platform::ExistsBelow(dataDirectory_, *relative)) return Extraction::AlreadyThere;
    // Under a temporary name until complete: a damaged entry must not leave
    // a half file behind, which the next start would take for an extracted one.
    platform::StagedFile file(dataDirectory_, *relative);
    if (!file.File()) return Extraction::Failed;
    BudgetedFileStream stream(file.File(), budget);
    if (!Link_ReadToStream(&stream, index, &package_)) {
        return stream.overBudget ? Extraction::OverLimit : Extraction::Failed;
    }
    return file.Commit() ? Extraction::Written : Extraction::Failed;
}

std::optional<std::string> TVeltoAccessControl::FindGameFile(std::string_view name) {
    auto relative = platform::SafeRelativePath(name);
    if (!relative) return std::nullopt;
    if (!dataDirectory_.empty()) {
        if (auto found = platform::FindFile(dataDirectory_, *relative)) return found;
    }
    return platform::FindFile(packageDirectory_, *relative);
}

std::string TVeltoAccessControl::ResolveFile(std::string_view name) {
    return FindGameFile(name).value_or(std::string(kNoEntry));
}

bool TVeltoAccessControl::ExtractsEntry(std::string_view name) {
    const LinkEntry* entry = Link_FindEntry(&package_, std::string(name).c_str());
    return ExtractsOnOpen() && entry && IsMarkedForExtraction(*entry);
}

bool TVeltoAccessControl::OpenLibrary(const std::string& path) {
    Link_Close(&library_);
    if (!Link_HasId(path.c_str(), "OV3LIB") || !Link_Open(path.c_str(), &library_)) return false;
    return LoadSystemBook();
}

bool TVeltoAccessControl::LoadSystemBook() {
    int32_t index = Link_FindIndex(&library_, "system.vf3");
    if (index < 0) return false;
    LinkBoundedStream text(kMaxScenarioBytes);
    if (!Link_ReadToStream(&text, index, &library_)) text.bytes.clear();
    scenario::TVeltoFile system;
    system.LoadFromText(std::move(text.bytes));
    document_.ImportBook("_system", system);
    return true;
}

void TVeltoAccessControl::Close() {
    Link_Close(&package_);
    SetSusieActive(false);
    if (!configuration_) return;
    configuration_->SetBool("System.UseMusic", useMusic);
    configuration_->SetBool("System.UseSound", useSound);
    configuration_->SetBool("System.DisplayChange", displayChange);
    configuration_->SetInt("MainForm.Left", windowLeft);
    configuration_->SetInt("MainForm.Top", windowTop);
    configuration_->SetText("System.DefaultFont", defaultFont);
    configuration_.reset();
}

void TVeltoAccessControl::CloseLibrary() {
    Link_Close(&library_);
}

void TVeltoAccessControl::Jump(std::string_view book, std::string_view page) {
    commands_.SetBook(book);
    commands_.SetPage(page);
    commandIndex = 0;
}

bool TVeltoAccessControl::RoomForCall() {
    if (stack_.Depth() < kMaxCallDepth) return true;
    Fail(kStackOverflow);
    return false;
}

void TVeltoAccessControl::Call(std::string_view book, std::string_view page) {
    if (!RoomForCall()) return;
    process_.PushCall({commands_.BookName(), commands_.PageName(), commandIndex});
    Jump(book, page);
}

void TVeltoAccessControl::InterruptCall(std::string_view book, std::string_view page) {
    if (!RoomForCall()) return;
    process_.SaveToStack();
    Call(book, page);
}

bool TVeltoAccessControl::Return() {
    auto position = process_.PopCall();
    if (!position) return false;
    commands_.SetBook(position->BookName);
    commands_.SetPage(position->PageName);
    commandIndex = position->CommandIndex;
    return true;
}

}  // namespace storage
