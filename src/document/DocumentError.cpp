#include "document/DocumentError.h"

QString DocumentErrorText(DocumentError error)
{
    switch (error) {
    case DocumentError::None:
        return {};
    case DocumentError::NoCurrentPicture:
        return QStringLiteral("当前图片不存在");
    case DocumentError::NoPicture:
        return QStringLiteral("图片不存在");
    case DocumentError::PasteFailed:
        return QStringLiteral("贴图时发生错误");
    case DocumentError::AtFirstState:
        return QStringLiteral("已经撤消到第一个状态了");
    case DocumentError::AtLastState:
        return QStringLiteral("已经重复到最后一个状态了");
    case DocumentError::NothingToDrop:
        return QStringLiteral("已经是最初状态了,无法删除");
    case DocumentError::CopyWithoutPicture:
        return QStringLiteral("图片不存在,不能进行复制");
    case DocumentError::CopyEmptySelection:
        return QStringLiteral("选择的区域是空的,不能进行复制");
    case DocumentError::NoClipboard:
        return QStringLiteral("剪贴板不可用,不能进行复制");
    case DocumentError::EffectWithoutPicture:
        return QStringLiteral("图片不存在,不能进行处理");
    case DocumentError::OutOfMemory:
        return QStringLiteral("内存不足,不能进行处理");
    case DocumentError::CannotOpen:
        return QStringLiteral("无法打开文件");
    case DocumentError::OpenCancelled:
        return QStringLiteral("用户取消了打开文件的操作");
    case DocumentError::OpenFailed:
        return QStringLiteral("打开文件时发生错误");
    case DocumentError::NoFileOpen:
        return QStringLiteral("当前没有打开文件");
    case DocumentError::CannotSave:
        return QStringLiteral("文件无法保存");
    case DocumentError::RereadAfterSaveFailed:
        return QStringLiteral("在文件保存后,重新读取时发生错误");
    case DocumentError::SaveAsCancelled:
        return QStringLiteral("用户取消了文件另存为");
    case DocumentError::CannotSaveAs:
        return QStringLiteral("文件无法另存为");
    case DocumentError::RereadAfterSaveAsFailed:
        return QStringLiteral("在文件另存为后,重新读取时发生错误");
    case DocumentError::CloseCancelled:
        return QStringLiteral("用户取消了关闭文件的操作");
    case DocumentError::SaveOnCloseFailed:
        return QStringLiteral("文件保存不成功");
    }
    return {};
}

bool IsCancellation(DocumentError error)
{
    return error == DocumentError::OpenCancelled || error == DocumentError::SaveAsCancelled ||
           error == DocumentError::CloseCancelled;
}
