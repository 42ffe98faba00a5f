#pragma once
// Which control of the main window shows which text of the language file, applied whenever the
// interface language changes.

namespace ui {

struct ControlText {
    const wchar_t* control;
    const wchar_t* key;
};

inline constexpr ControlText kLanguageTexts[] = {
    {L"progress_install_label", L"progress_install_label"},
    {L"progress_finish_label", L"progress_finish_label"},
    {L"loadingprogresslabel", L"progress_downloading_label"},
    {L"pathErrorLabel", L"Label_path_error"},
    {L"LicenseAgreementText", L"protocol_accept"},
    {L"protocollinkbtn", L"protocol_accept_btn"},
    {L"tastenowbtn", L"Button_start_player"},
    {L"confirmprotocolbtn", L"sure"},
    {L"installnowbtn", L"Button_install_fast"},
    {L"userdefinitionBtn", L"Button_install_define"},
    {L"backBtn", L"Button_install_back"},
    {L"browsebtn", L"browser"},
    {L"downloadFailedTitle", L"download_failed_title"},
    {L"retryDownloadBtn", L"Button_try_again"},
    {L"browserDownloadBtn", L"Button_download_browser"},
    {L"installFailedTitle", L"install_failed_title"},
    {L"installFailedLabel", L"install_failed_reason"},
    {L"retryInstallBtn", L"Button_try_again"},
    {L"openLogFolderBtn", L"Link_open_logs"},
};

}  // namespace ui
