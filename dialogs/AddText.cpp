#include "dialogs/AddText.h"

#include "resources/resource.h"

namespace dialogs {

UrlTexts MakeUrlTexts(const std::string& url, int codePage) {
    std::string doubled = DoublePercent(url);
    UrlTexts texts;
    texts.inCharset = codePage != 0 ? client::CCSConvertor::EncodeForCodePage(doubled, codePage)
                                    : client::CCSConvertor::DefaultEncodeUrl(doubled);
    texts.inUtf8 = client::CCSConvertor::EncodeForCodePage(doubled, client::CCSConvertor::GetUtf8CodePage());
    return texts;
}

Check CheckAddBt(bool fromUrl, const std::string& pcPath, const std::string& url, const std::string& savePath) {
    if (fromUrl) {
        if (url.empty()) return {IDS_URL_EMPTY, IDC_ADD_URL};
        if (!HasUrlScheme(url)) return {IDS_URL_BAD_SCHEME, IDC_ADD_URL};
    } else if (pcPath.empty()) {
        return {IDS_FILENAME_EMPTY, IDC_ADDBT_FILE};
    }
    if (savePath.empty()) return {IDS_SAVE_PATH_EMPTY, IDC_ADD_SAVE_PATH};
    return {};
}

Check CheckAddFtp(const std::string& url, const std::string& savePath) {
    if (url.empty()) return {IDS_URL_EMPTY, IDC_ADD_URL};
    if (savePath.empty()) return {IDS_SAVE_PATH_EMPTY, IDC_ADD_SAVE_PATH};
    if (!HasUrlScheme(url)) return {IDS_URL_BAD_SCHEME, IDC_ADD_URL};
    return {};
}

std::vector<CharsetChoice> CharsetChoices(const client::CCSConvertor& charsets, const std::string& defaultName,
                                          int ansiCodePage) {
    const int utf8 = client::CCSConvertor::GetUtf8CodePage();
    return {{defaultName, 0},
            {charsets.NameFromCodePage(utf8), utf8},
            {charsets.NameFromCodePage(ansiCodePage), ansiCodePage}};
}

}  // namespace dialogs
