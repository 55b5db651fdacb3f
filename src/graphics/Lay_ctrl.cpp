#include "graphics/Lay_ctrl.h"

#include <algorithm>

#include "platform/dialogs.h"

namespace graphics {
namespace {

constexpr std::string_view kSection = "LayerList";
// "Layer Section が不正です\nfail from TLayerCtrl::GetSectionName()"
constexpr std::string_view kBadField =
    "Layer Section \x82\xAA\x95s\x90\xB3\x82\xC5\x82\xB7\nfail from TLayerCtrl::GetSectionName()";

}  // namespace

void TLayerCtrl::SetDocument(scenario::TVeltoFile* document) {
    document_ = document;
    Load();
}

std::string TLayerCtrl::GetSectionName(int32_t index, int32_t field) {
    static constexpr std::string_view suffixes[] = {".LayerName", ".FileName", ".Attr", ".Left",
                                                    ".Top"};
    std::string key = "Layer." + scenario::IntToText(index);
    if (field < 0 || field >= static_cast<int32_t>(std::size(suffixes))) {
        platform::ShowMessage(platform::MessageKind::Error, platform::MessageButtons::Ok,
                              kBadField);
        return key;
    }
    return key.append(suffixes[field]);
}

void TLayerCtrl::Load() {
    records_.fill({});
    // Records past the fixed table would have nowhere to go.
    int32_t count = document_ ? document_->GetInt(kSection, "LayerCount", 1) : 1;
    layerCount_ = std::clamp(count, 1, kMaxLayers);
    for (int32_t n = 1; n < layerCount_; ++n) {
        TLayerRecord& record = records_[n];
        record.Name = document_->GetValue(kSection, GetSectionName(n, 0), "noname");
        record.FileName = document_->GetValue(kSection, GetSectionName(n, 1), "");
        record.Attr = document_->GetBool(kSection, GetSectionName(n, 2), false);
        record.Left = document_->GetInt(kSection, GetSectionName(n, 3), 0);
        record.Top = document_->GetInt(kSection, GetSectionName(n, 4), 0);
    }
    records_[0] = {std::string(kBackgroundLayerName), "", true, 0, 0};
    nameList_.clear();
    for (int32_t n = layerCount_ - 1; n >= 0; --n) nameList_.push_back(records_[n].Name);
}

}  // namespace graphics
