#include "document/CImageDoc.h"
CImageDoc::CImageDoc() {}
CImageDoc::~CImageDoc() {}
