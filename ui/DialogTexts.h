// What the setup dialog says to the user (code page 936), written once for the product and its
// tests. The warning's caption is the deployment's (deploy/DeployTexts.h).
#pragma once

inline constexpr char kRunningHostText[] = "请关闭CAD后再进行安装 !";
inline constexpr char kSuccessText[] = "安装完成，重启CAD即可使用 !";
inline constexpr char kSuccessCaption[] = "Q-工具箱安装";
inline constexpr char kBrowseTitle[] = "请选择安装目录：";
inline constexpr char kEditionText[] = "( 中望CAD版 )";
// A folder on the way to the product folder is a link, or another user may change it; %s names
// that folder. Shown with a stop icon; the dialog stays open.
inline constexpr char kUnsafeFolderFormat[] =
    "文件夹 %s 是链接，或其他用户可以修改，安装到这里不安全 !\n\n请选择其他安装目录 !";
