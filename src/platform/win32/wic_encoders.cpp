#include "platform/win32/wic_encoders.h"

#include <objbase.h>
#include <wincodec.h>
#include "platform/win32/win.h"

#include <cstring>
#include <string>

#include "platform/codecs/codec_util.h"

namespace tolvane::platform::win32 {

namespace {

using codecs::fail;

// Releases a COM pointer at the end of its scope.
template <typename T>
struct Com {
  T* p = nullptr;
  ~Com() {
    if (p) p->Release();
  }
  T* operator->() const { return p; }
  T** out() { return &p; }
};

const GUID* containerOf(Format format) {
  switch (format) {
    case Format::Bmp: return &GUID_ContainerFormatBmp;
    case Format::Jpeg: return &GUID_ContainerFormatJpeg;
    case Format::Gif: return &GUID_ContainerFormatGif;
    case Format::Tiff: return &GUID_ContainerFormatTiff;
    case Format::Png: break;
  }
  return nullptr;
}

// JPEG at the asked quality; TIFF uncompressed; the others as they come.
HRESULT setOptions(IPropertyBag2* bag, Format format, const EncodeParams& params) {
  if (!bag) return S_OK;
  PROPBAG2 option{};
  VARIANT value;
  VariantInit(&value);
  if (format == Format::Jpeg) {
    option.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
    value.vt = VT_R4;
    value.fltVal = static_cast<float>(params.jpegQuality) / 100.0f;
  } else if (format == Format::Tiff) {
    option.pstrName = const_cast<LPOLESTR>(L"TiffCompressionMethod");
    value.vt = VT_UI1;
    value.bVal = params.tiffCompression == 6 ? WICTiffCompressionNone : WICTiffCompressionLZW;
  } else {
    return S_OK;
  }
  return bag->Write(1, &option, &value);
}

// GIF wants 256 colours: a palette made from the picture, then the conversion.
HRESULT writeFrame(IWICImagingFactory* factory, IWICBitmapFrameEncode* frame, IWICBitmap* bitmap, Format format) {
  if (format != Format::Gif) return frame->WriteSource(bitmap, nullptr);
  Com<IWICPalette> palette;
  Com<IWICFormatConverter> converter;
  HRESULT hr = factory->CreatePalette(palette.out());
  if (SUCCEEDED(hr)) hr = palette->InitializeFromBitmap(bitmap, 256, FALSE);
  if (SUCCEEDED(hr)) hr = factory->CreateFormatConverter(converter.out());
  if (SUCCEEDED(hr))
    hr = converter->Initialize(bitmap, GUID_WICPixelFormat8bppIndexed, WICBitmapDitherTypeNone, palette.p, 0,
                               WICBitmapPaletteTypeCustom);
  if (SUCCEEDED(hr)) hr = frame->SetPalette(palette.p);
  if (SUCCEEDED(hr)) hr = frame->WriteSource(converter.p, nullptr);
  return hr;
}

HRESULT encodeInto(IStream* stream, Format format, const Image& picture, const EncodeParams& params) {
  Com<IWICImagingFactory> factory;
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(factory.out()));
  Com<IWICBitmap> bitmap;
  const UINT w = static_cast<UINT>(picture.width()), h = static_cast<UINT>(picture.height());
  if (SUCCEEDED(hr))
    hr = factory->CreateBitmapFromMemory(w, h, GUID_WICPixelFormat32bppBGR, w * 4, w * h * 4,
                                         const_cast<BYTE*>(reinterpret_cast<const BYTE*>(picture.constBits())),
                                         bitmap.out());
  Com<IWICBitmapEncoder> encoder;
  if (SUCCEEDED(hr)) hr = factory->CreateEncoder(*containerOf(format), nullptr, encoder.out());
  if (SUCCEEDED(hr)) hr = encoder->Initialize(stream, WICBitmapEncoderNoCache);
  Com<IWICBitmapFrameEncode> frame;
  Com<IPropertyBag2> options;
  if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(frame.out(), options.out());
  if (SUCCEEDED(hr)) hr = setOptions(options.p, format, params);
  if (SUCCEEDED(hr)) hr = frame->Initialize(options.p);
  if (SUCCEEDED(hr)) hr = frame->SetSize(w, h);
  WICPixelFormatGUID pixels = format == Format::Gif ? GUID_WICPixelFormat8bppIndexed : GUID_WICPixelFormat24bppBGR;
  if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&pixels);
  if (SUCCEEDED(hr)) hr = writeFrame(factory.p, frame.p, bitmap.p, format);
  if (SUCCEEDED(hr)) hr = frame->Commit();
  if (SUCCEEDED(hr)) hr = encoder->Commit();
  return hr;
}

EncodeResult bytesOf(IStream* stream) {
  EncodeResult r;
  HGLOBAL memory = nullptr;
  STATSTG stat{};
  if (FAILED(GetHGlobalFromStream(stream, &memory)) || FAILED(stream->Stat(&stat, STATFLAG_NONAME)))
    return fail(codecs::kEncodeLibraryError, "WIC: the encoded bytes cannot be read");
  const auto size = static_cast<std::size_t>(stat.cbSize.QuadPart);
  r.bytes.resize(size);
  std::memcpy(r.bytes.data(), GlobalLock(memory), size);
  GlobalUnlock(memory);
  return r;
}

}  // namespace

EncodeResult WicEncoders::encode(Format format, const Image& picture, const EncodeParams& params) {
  if (picture.isNull() || !picture.constBits()) return fail(codecs::kEncodeEmptyPicture, "the picture is empty");
  if (format == Format::Png) return codecs::encodePng(picture);
  if (static_cast<std::uint64_t>(picture.width()) * picture.height() * 4 > 0x7FFFFFFFu)
    return fail(codecs::kEncodeTooLarge, "the picture is too large for WIC");
  Com<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.out()))) return codecs::outOfMemory("WIC");
  const HRESULT hr = encodeInto(stream.p, format, picture, params);
  if (FAILED(hr)) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
    return fail(codecs::kEncodeLibraryError, std::string("WIC could not encode the picture: ") + code);
  }
  return bytesOf(stream.p);
}

}  // namespace tolvane::platform::win32
