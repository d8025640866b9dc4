// What the deployment says to the user (code page 936), written once for the product and its tests.
#pragma once

// The caption of the deployment's message boxes and of the running-host warning.
inline constexpr char kSetupCaption[] = "Q-软件安装";
inline constexpr char kNoPackageText[] =
    "未找到安装所需的Data文件夹 !\n\n可能安装文件下载后没有解压，\n\n请解压后再执行SetUp.exe !";
// The Abort / Retry / Ignore prompt of a failed copy; %s is the whole destination path.
inline constexpr char kCopyFailedFormat[] =
    "拷贝文件 %s 失败，可能原因如下：\n\n1、CAD未关闭\n\n2、系统权限未开放，请以管理者权限登陆系统";
// A sealed installer's package does not hold what it recorded; %s is the file's whole path (or
// the installer's, when its record cannot be read). Shown with a stop icon.
inline constexpr char kPackageAlteredFormat[] =
    "安装文件 %s 已被修改或损坏 !\n\n请重新下载安装包，解压后再执行SetUp.exe !";
