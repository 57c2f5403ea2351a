#pragma once

// The plug-in's own log texts, as GBK (code page 936) bytes. The Chinese beside
// each one is the same text in UTF-8; a native test checks every pair.
#define PELSHX_LOG_TEXTS(TEXT)                                                                                   \
    TEXT(kBadArgument, "\xb2\xce\xca\xfd\xb4\xed\xce\xf3")                             /* 参数错误 */           \
    TEXT(kIllegalInput, "\xca\xe4\xc8\xeb\xb2\xce\xca\xfd\xb7\xc7\xb7\xa8")             /* 输入参数非法 */       \
    TEXT(kBufferOverflow, "\xbb\xba\xb3\xe5\xc7\xf8\xd2\xe7\xb3\xf6")                   /* 缓冲区溢出 */         \
    TEXT(kTooManyStreams,                                                                                        \
         "\xb3\xac\xb3\xf6\xb2\xa5\xb7\xc5\xb5\xc4\xd7\xee\xb4\xf3\xd6\xa7\xb3\xd6\xca\xfd") /* 超出播放的最大支持数 */ \
    TEXT(kUnknownError, "\xce\xb4\xd6\xaa\xb4\xed\xce\xf3")                             /* 未知错误 */           \
    TEXT(kMustStopFirst, "\xb1\xd8\xd0\xeb\xcf\xc8\xcd\xa3\xd6\xb9\xb2\xa5\xb7\xc5")   /* 必须先停止播放 */     \
    TEXT(kInputToUnopened,                                                                                       \
         "\xcf\xf2\xce\xb4\xb4\xf2\xbf\xaa\xb5\xc4\xcd\xa8\xb5\xc0\xca\xe4\xc8\xeb\xca\xfd\xbe\xdd") /* 向未打开的通道输入数据 */ \
    TEXT(kCannotStopUnstarted,                                                                                   \
         "\xb2\xbb\xc4\xdc\xcd\xa3\xd6\xb9\xc3\xbb\xd3\xd0\xbf\xaa\xca\xbc\xb5\xc4\xcd\xa8\xb5\xc0") /* 不能停止没有开始的通道 */ \
    TEXT(kCannotChangeUnstarted,                                                                                 \
         "\xb2\xbb\xc4\xdc\xb8\xc4\xb1\xe4\xc3\xbb\xd3\xd0\xbf\xaa\xca\xbc\xb5\xc4\xcd\xa8\xb5\xc0") /* 不能改变没有开始的通道 */ \
    TEXT(kSetOpenMode, "\xc9\xe8\xd6\xc3\xb2\xa5\xb7\xc5\xc4\xa3\xca\xbd")             /* 设置播放模式 */       \
    TEXT(kOpenStream, "\xb4\xf2\xbf\xaa\xca\xfd\xbe\xdd\xc1\xf7")                       /* 打开数据流 */         \
    TEXT(kInputData, "\xca\xe4\xc8\xeb\xca\xfd\xbe\xdd\xc1\xf7")                        /* 输入数据流 */         \
    TEXT(kCloseStream, "\xb9\xd8\xb1\xd5\xca\xfd\xbe\xdd\xc1\xf7")                      /* 关闭数据流 */         \
    TEXT(kPlayState, "\xb5\xf7\xd5\xfb\xb2\xa5\xb7\xc5\xd7\xb4\xcc\xac")                /* 调整播放状态 */       \
    TEXT(kGetPlayState, "\xbb\xf1\xb5\xc3\xb2\xa5\xb7\xc5\xd7\xb4\xcc\xac")             /* 获得播放状态 */       \
    TEXT(kSetVolume, "\xc9\xe8\xd6\xc3\xb2\xa5\xb7\xc5\xd2\xf4\xc1\xbf")                /* 设置播放音量 */       \
    TEXT(kGetVolume, "\xbb\xf1\xb5\xc3\xb2\xa5\xb7\xc5\xd2\xf4\xc1\xbf")                /* 获得播放音量 */       \
    TEXT(kSetOverlayMode, "\xc9\xe8\xd6\xc3" "Overlay" "\xc4\xa3\xca\xbd")              /* 设置Overlay模式 */    \
    TEXT(kGetPreviewMode, "\xbb\xf1\xc8\xa1\xcf\xd4\xca\xbe\xc4\xa3\xca\xbd")           /* 获取显示模式 */       \
    TEXT(kGetHeadLen, "\xbb\xf1\xc8\xa1\xcd\xb7\xb4\xf3\xd0\xa1")                       /* 获取头大小 */         \
    TEXT(kGetPicQuality, "\xb6\xc1\xc8\xa1\xbb\xad\xc3\xe6\xd6\xca\xc1\xbf")            /* 读取画面质量 */       \
    TEXT(kGetThrowNum, "\xbb\xf1\xc8\xa1\xb6\xaa\xd6\xa1\xca\xfd")                      /* 获取丢帧数 */         \
    TEXT(kSetVideoPara, "\xc9\xe8\xd6\xc3\xc1\xc1\xb6\xc8\xb5\xc8\xca\xd3\xc6\xb5\xb2\xce\xca\xfd") /* 设置亮度等视频参数 */ \
    TEXT(kSetDispRegion, "\xc9\xe8\xd6\xc3\xcf\xd4\xca\xbe\xc7\xf8\xd3\xf2")            /* 设置显示区域 */       \
    TEXT(kGetPicture, "\xd7\xa5\xc8\xa1\xcd\xbc\xc6\xac")                               /* 抓取图片 */           \
    TEXT(kRefreshPlay, "\xcb\xa2\xd0\xc2\xcf\xd4\xca\xbe")                              /* 刷新显示 */           \
    TEXT(kGetPictureSize, "\xbb\xf1\xc8\xa1\xcd\xbc\xcf\xf1\xb3\xdf\xb4\xe7")           /* 获取图像尺寸 */ \
    TEXT(kHelperRestarted, "\xb2\xa5\xb7\xc5\xb8\xa8\xd6\xfa\xbd\xf8\xb3\xcc\xd2\xec\xb3\xa3\xbd\xe1\xca\xf8"         \
                           "\xa3\xac\xd2\xd1\xd6\xd8\xd0\xc2\xc6\xf4\xb6\xaf") /* 播放辅助进程异常结束，已重新启动 */ \
    TEXT(kHelperStopped, "\xb2\xa5\xb7\xc5\xb8\xa8\xd6\xfa\xbd\xf8\xb3\xcc\xd2\xbb\xb7\xd6\xd6\xd3\xc4\xda\xc8\xfd"   \
                         "\xb4\xce\xd2\xec\xb3\xa3\xbd\xe1\xca\xf8\xa3\xac\xb2\xbb\xd4\xd9\xc6\xf4\xb6\xaf") /* 播放辅助进程一分钟内三次异常结束，不再启动 */ \
    TEXT(kHelperNotStarted, "\xb2\xa5\xb7\xc5\xb8\xa8\xd6\xfa\xbd\xf8\xb3\xcc\xce\xde\xb7\xa8\xc6\xf4\xb6\xaf") /* 播放辅助进程无法启动 */ \
    TEXT(kNestedCallNotCarried, "\xc7\xb6\xcc\xd7\xb5\xf7\xd3\xc3\xce\xde\xb7\xa8\xd7\xaa\xbd\xbb\xb2\xa5\xb7\xc5\xb8\xa8"      \
                                "\xd6\xfa\xbd\xf8\xb3\xcc") /* 嵌套调用无法转交播放辅助进程 */

namespace texts {
#define PELSHX_DEFINE_TEXT(name, gbk) inline constexpr char name[] = gbk;
PELSHX_LOG_TEXTS(PELSHX_DEFINE_TEXT)
#undef PELSHX_DEFINE_TEXT
}  // namespace texts
