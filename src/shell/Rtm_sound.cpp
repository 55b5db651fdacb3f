// Music and sound effects. Their files are played from disk, found in the
// data directory or beside the package; a file in neither is skipped without
// a word, and the music playing goes on.
#include "shell/Rtm_main.h"

namespace shell {

using scenario::TVeltoCommand;

bool TfrmMain::DoMusic(const TVeltoCommand& command) {
    std::string path = access_.ResolveFile(command.GetString("Music.FileName", ""));
    if (path != storage::kNoEntry) music_->PlayMusic(path, command.GetInt("Music.Loop", 0));
    return true;
}

// With "Sound.Wait" the command returns when the sound has ended; meanwhile
// the windows repaint and take clicks, and no MainTimer tick starts a step.
bool TfrmMain::DoSound(const TVeltoCommand& command) {
    std::string path = access_.ResolveFile(command.GetString("Sound.FileName", ""));
    if (path != storage::kNoEntry) music_->PlaySound(path, command.GetBool("Sound.Wait", false));
    return true;
}

}  // namespace shell
