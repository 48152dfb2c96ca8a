#include "platform/CCodecImage.h"

#include "document/ImageState.h"

// Placeholder implementation; being written.
void CCodecImage::Load(const QString&, int) {}
std::unique_ptr<ImageState> CCodecImage::DrawToState() const { return ImageState::FromImage(image); }
void CCodecImage::CreateFromState(const ImageState& state) { image = state.ReadAll(); }
bool CCodecImage::IsGrayScale() const { return false; }
void CCodecImage::IncreaseBpp(int) {}
void CCodecImage::DecreaseBpp(int, bool) {}
bool CCodecImage::Save(const QString&, int) const { return false; }
