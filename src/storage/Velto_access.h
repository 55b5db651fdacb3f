// TVeltoAccessControl: everything of a game that lives in files. It opens the
// package (an archive, an executable with an archive appended, or a plain
// scenario text) with all its checks, merges the system library's book into
// the scenario, keeps the data directory and extracts marked entries into it,
// finds files on disk, and moves the play position by jump, call and return.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/Las_grf.h"
#include "graphics/Lay_ctrl.h"
#include "graphics/Pic_source.h"
#include "scenario/Cmdctrl3.h"
#include "scenario/Var_ctrl.h"
#include "scenario/Velto_file.h"
#include "scenario/Velto_proc.h"
#include "storage/Cfg_load.h"
#include "storage/Link_arc.h"
#include "storage/Pic_buf.h"
#include "storage/Tsplug.h"

namespace storage {

// What ResolveFile answers for a file that is nowhere on disk.
inline constexpr std::string_view kNoEntry = "No Entry";

// Whether opening a game extracts this entry into its data directory: the
// entry asks for it and has a kind bit set.
bool IsMarkedForExtraction(const LinkEntry& entry);

class TVeltoAccessControl : public graphics::TPictureSource {
public:
    // Calls nested deeper than this end the game with a message instead of
    // growing the stack without bound.
    static constexpr size_t kMaxCallDepth = 10000;
    // What extraction writes at most in one start, as much as one entry may
    // inflate to: far beyond the music and sounds of a real game, and enough
    // to stop a package that would fill the disk.
    static constexpr uint64_t kMaxExtractedBytes = kLinkMaxInflated;

    TVeltoAccessControl();
    ~TVeltoAccessControl() override;
    TVeltoAccessControl(const TVeltoAccessControl&) = delete;
    TVeltoAccessControl& operator=(const TVeltoAccessControl&) = delete;

    // The newest "CommandVersion" this player plays without asking.
    static constexpr int32_t kNewestCommandVersion = 16;

    // `path` is a disk path (UTF-8). Reports failures in message boxes; a
    // failure that ends the game also asks the application to terminate.
    bool Open(const std::string& path);
    bool OpenLibrary(const std::string& path);
    // Open for tools that read a game without playing it: nothing is asked
    // and nothing written - no file-type questions, no user settings, no data
    // directory made or filled. Only damage is reported.
    bool Inspect(const std::string& path);
    // The system library alone, its folder standing in for the game's.
    bool InspectLibrary(const std::string& path);
    // What the open sequence asks about: "FileType" is "OV3", and
    // "CommandVersion" is no newer than kNewestCommandVersion.
    bool HasGameFileType();
    bool HasKnownCommandVersion();
    // Writes the settings back and closes the package.
    void Close();
    void CloseLibrary();

    // A file of the game on disk: the data directory first, then the
    // package's directory. Nothing when it is in neither.
    std::optional<std::string> FindGameFile(std::string_view name);
    // The same as the commands take it: kNoEntry when it is in neither.
    std::string ResolveFile(std::string_view name);
    // Whether Open puts the package's entry `name` into the data directory,
    // where FindGameFile then finds it.
    bool ExtractsEntry(std::string_view name);

    // A picture the scenario names: from the package, else from disk, and a
    // PNG missing from both from the system library. False when none loads.
    bool LoadImage(std::string_view name, graphics::TLasGraphic& graphic) override;
    // Whether LoadImage finds a file to read for the picture.
    bool HasImage(std::string_view name);
    bool LoadBitmapFromArchive(std::string_view name, DecodedPicture& bitmap, LinkReader& archive);
    bool LoadBitmapFromFile(std::string_view name, DecodedPicture& bitmap);
    // Loads the image plug-ins from pluginDirectories, or unloads them.
    void SetSusieActive(bool on);
    TSusiePlugIn& Susie() { return susie_; }
    // Where the image plug-ins are looked for, in order: the player's own
    // folder, then its installed plug-in folder. The first plug-in that
    // decodes a picture wins.
    std::vector<std::string> pluginDirectories;
    // Bytes the next Open may extract into the data directory.
    uint64_t extractionLimit = kMaxExtractedBytes;

    void Jump(std::string_view book, std::string_view page);
    void Call(std::string_view book, std::string_view page);
    void InterruptCall(std::string_view book, std::string_view page);
    // False, changing nothing, when no call is on the stack.
    bool Return();

    scenario::TVeltoFile& Document() { return document_; }
    scenario::TVeltoProcess& Process() { return process_; }
    scenario::TVeltoProcessStack& Stack() { return stack_; }
    scenario::TCommandCtrl& Commands() { return commands_; }
    scenario::TVariableCtrl& Variables() { return variables_; }
    graphics::TLayerCtrl& Layers() { return layers_; }
    LinkReader& Package() { return package_; }
    LinkReader& Library() { return library_; }

    int32_t commandIndex = 0;
    bool useMusic = true;
    bool useSound = true;
    bool displayChange = false;
    int32_t windowLeft = 0;
    int32_t windowTop = 0;
    std::string defaultFont;  // CP932

    const std::string& PackagePath() const { return packagePath_; }
    const std::string& PackageDirectory() const { return packageDirectory_; }
    // Ends in "/", or "" when the game has none.
    const std::string& DataDirectory() const { return dataDirectory_; }

private:
    // The document from the package, and where the game's files are.
    bool ReadPackage(const std::string& path);
    bool OpenArchive(const std::string& path);
    bool CheckFileType();
    void LoadConfiguration(const std::string& cfgPath);
    void LocateDirectories(const std::string& path);
    bool ExtractsOnOpen();
    void PrepareDataDirectory();
    // The start page, the call stack empty, the layer list read.
    void SetStartPosition();
    void OpenPlugIns();
    enum class Extraction { Written, AlreadyThere, Failed, OverLimit };
    // Takes what it writes from `budget`.
    Extraction ExtractEntry(int32_t index, uint64_t& budget);
    bool LoadSystemBook();
    // False, after ending the game with a message, when the stack is full.
    bool RoomForCall();
    bool LoadPngFromArchive(std::string_view name, graphics::TLasGraphic& graphic,
                            LinkReader& archive);
    bool LoadPngFromDisk(std::string_view name, graphics::TLasGraphic& graphic);

    LinkReader package_;
    LinkReader library_;
    scenario::TVeltoFile document_;
    scenario::TVeltoProcess process_;
    scenario::TVeltoProcessStack stack_;
    scenario::TCommandCtrl commands_;
    scenario::TVariableCtrl variables_;
    graphics::TLayerCtrl layers_;
    std::unique_ptr<TConfigLoader> configuration_;
    TSusiePlugIn susie_;
    bool susieLoaded_ = false;
    std::string packagePath_;
    std::string packageDirectory_;
    std::string dataDirectory_;
};

}  // namespace storage
