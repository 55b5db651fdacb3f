// TLayerCtrl: the game's named picture layers as the authoring tool listed
// them in the header block "LayerList" of the scenario document. The main
// screen builds its layer stack from it at start-up.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "scenario/Velto_file.h"

namespace graphics {

// clang-format off
// "背景レイヤー": record 0, the background layer every game has.
inline constexpr std::string_view kBackgroundLayerName = "\x94w\x8Ci\x83\x8C\x83" "C\x83\x84\x81[";
// "テキストレイヤー": where messages are drawn unless a command names another layer.
inline constexpr std::string_view kTextLayerName = "\x83" "e\x83L\x83X\x83g\x83\x8C\x83" "C\x83\x84\x81[";
// clang-format on

struct TLayerRecord {
    std::string Name;
    std::string FileName;
    bool Attr = false;
    int32_t Left = 0;
    int32_t Top = 0;
};

class TLayerCtrl {
public:
    static constexpr int32_t kMaxLayers = 32;

    // Stores the document and loads the layer list from it.
    void SetDocument(scenario::TVeltoFile* document);
    void Load();
    // The settings key of one field of record `index`: 0 name, 1 file name,
    // 2 attribute, 3 left, 4 top.
    static std::string GetSectionName(int32_t index, int32_t field);

    // Records in use, record 0 included; never more than kMaxLayers.
    int32_t LayerCount() const { return layerCount_; }
    const TLayerRecord& Record(int32_t index) const { return records_.at(index); }
    // The record names from the highest record down to record 0.
    const scenario::StringList& NameList() const { return nameList_; }

private:
    scenario::TVeltoFile* document_ = nullptr;
    int32_t layerCount_ = 1;
    std::array<TLayerRecord, kMaxLayers> records_;
    scenario::StringList nameList_{std::string(kBackgroundLayerName)};
};

}  // namespace graphics
