#include "shape/jwsunit.h"

#include "support/archive.h"

namespace torvane {

TJwsData TJwsDocument;

void ResetJwsDocument(TJwsData& document) { document = TJwsData{}; }

void WriteJwsTo(TByteSink& sink, const TJwsData& d) {
  TArchiveWriter w(sink);
  w.WriteBytes("JwsData.", 8);
  // The lead block is 200 bytes, so that the numbers start at byte 200.
  const std::string dots(192, '.');
  w.WriteBytes(dots.data(), dots.size());
  w.WriteDword(static_cast<uint32_t>(d.Version));
  for (double v : d.LeadReals) w.WriteDouble(v);
  for (double v : d.LayerGroupScales) w.WriteDouble(v);
  for (int32_t v : d.HeaderInts) w.WriteDword(static_cast<uint32_t>(v));
  for (double v : d.HeaderReals) w.WriteDouble(v);
  for (double v : {d.MinX, d.MinY, d.MaxX, d.MaxY}) w.WriteDouble(v);
  WriteEntityList(w, TEntityLists{d.TotalCount, d.SenCount, d.EnkoCount, d.TenCount, d.MojiCount, d.Sen, d.Enko,
                                  d.Ten, d.Moji, d.FontName, &d.Texts});
  w.Flush();
}

}  // namespace torvane
