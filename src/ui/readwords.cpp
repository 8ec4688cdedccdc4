#include "ui/readwords.h"

namespace torvane {

namespace {

std::string ReadWords(TReadWord text) {
  switch (text) {
    case TReadWord::NoMemory: return "ファイルを読み込むためのメモリが足りません";
    case TReadWord::EndsInside: return "%1の途中でファイルが終わっています";
    case TReadWord::EndsInHeader: return "ヘッダブロック %1 の途中でファイルが終わっています";
    case TReadWord::NegativeCount: return "%1の数 %2 が負の値です";
    case TReadWord::CountTooLarge:
      return "%1の数 %2 には %3 バイトが必要ですが、ファイルにはヘッダの後に %4 バイトしかありません";
    case TReadWord::NoNameTables: return "レイヤ名の前でファイルが終わっています（旧版のDOS版で保存された図面です）";
    case TReadWord::NotWholeNumber: return "ヘッダ項目 %1 の値 \"%2\" は整数ではありません";
    case TReadWord::NotNumber: return "ヘッダ項目 %1 の値 \"%2\" は数値ではありません";
    case TReadWord::TextsTooLarge:
      return "文字列が %1 バイトになり、図面や部品に必要な %2 MiB を超えます（多くの文字が文字領域の同じ部分を指しています）";
    case TReadWord::PoolTooLarge: return "文字領域が 4 GiB を超えています";
    case TReadWord::VirtualPoints: return "仮想点";
    case TReadWord::CharacterTypes: return "文字種";
    case TReadWord::LayerGroupScales: return "レイヤグループの縮尺";
    case TReadWord::LayerStates: return "レイヤとレイヤグループの状態";
    case TReadWord::LineRecords: return "線分データ";
    case TReadWord::ArcRecords: return "円弧データ";
    case TReadWord::TextRecords: return "文字データ";
    case TReadWord::PointRecords: return "点データ";
    case TReadWord::RealPointRecords: return "実点データ";
    case TReadWord::TextPool: return "文字領域";
    case TReadWord::LayerNames: return "レイヤ名";
    case TReadWord::LayerGroupNames: return "レイヤグループ名";
  }
  return "";
}

}  // namespace

std::string ReadFailureJapanese(const TReadFailure& failure) { return WordReadFailure(failure, ReadWords); }

}  // namespace torvane
