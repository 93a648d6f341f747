<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja">
<context>
    <name>AtomicFile</name>
    <message>
        <source>Cannot save %1: %2. The file keeps its previous content.</source>
        <translation>%1 を保存できません: %2。ファイルは以前の内容のままです。</translation>
    </message>
    <message>
        <source>Cannot save: no file name was given. Nothing was written.</source>
        <translation>保存できません: ファイル名がありません。何も書き込まれていません。</translation>
    </message>
    <message>
        <source>a folder of that name is in the way</source>
        <translation>同じ名前のフォルダーがあります</translation>
    </message>
    <message>
        <source>the file is read-only</source>
        <translation>ファイルは読み取り専用です</translation>
    </message>
    <message>
        <source>its folder cannot be created</source>
        <translation>フォルダーを作成できません</translation>
    </message>
    <message>
        <source>its folder is not a folder</source>
        <translation>フォルダーではありません</translation>
    </message>
    <message>
        <source>its folder is read-only</source>
        <translation>フォルダーは読み取り専用です</translation>
    </message>
</context>
<context>
    <name>HelpWindow</name>
    <message>
        <source>Marulet ヘルプ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>目次</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>戻る</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>進む</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ページが見つかりません</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ヘルプのページ「%1」がないため、表示できません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>目次へ</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>IniFile</name>
    <message>
        <source>Cannot write [%1] %2 in %3: that name cannot be stored in an INI file. The value is not saved.</source>
        <translation>%3 の [%1] %2 を書き込めません: その名前は INI ファイルに保存できません。値は保存されません。</translation>
    </message>
</context>
<context>
    <name>LoadPictureFile</name>
    <message>
        <source>Cannot read the picture file &quot;%1&quot; as %2: %3</source>
        <translation>画像ファイル「%1」を %2 として読み込めません: %3</translation>
    </message>
    <message>
        <source>%1 (the picture claims %2 x %3 pixels, more than the %4 MB a picture may take)</source>
        <translation>%1 (画像は %2 x %3 ピクセルとされ、1 枚の画像に使える %4 MB を超えます)</translation>
    </message>
    <message>
        <source>the file ends before the picture does</source>
        <translation>画像の途中でファイルが終わっています</translation>
    </message>
</context>
<context>
    <name>TAboutBox</name>
    <message>
        <source>バージョン情報</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>フリーソフトウェア</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TDesignDlg</name>
    <message>
        <source>デザイン設定</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>配色(&amp;C)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>背景(&amp;B)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>駒</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>輪郭</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>活性化</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>休眠中</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>背景画像(&amp;I)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>有効</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>拡大</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>最大化時にタイトルバーを隠す</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>背景画像の選択</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ビットマップ (*.bmp)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>JPEGファイル(*.JPG)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PNGファイル(*.PNG)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>GIFファイル(*.GIF)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TMaruletMainForm</name>
    <message>
        <source>Marulet could not save its settings to %1: %2
The settings, window places and layout of this session are lost; the file keeps what it held before.</source>
        <translation>Marulet は設定を %1 に保存できませんでした: %2
このセッションの設定、ウィンドウの位置、配置は失われます。ファイルは以前の内容のままです。</translation>
    </message>
    <message>
        <source>すべて休止(&amp;A)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>すべて休眠(&amp;Z)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>休眠状態をすべて解除(&amp;R)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>元のサイズに戻す</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>デフォルトの配置(&amp;D)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>グリッドに配置(&amp;G)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>配置の読み込み(&amp;L)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>配置の保存(&amp;S)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>終了(&amp;X)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>駒操作(&amp;P)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>配置グリッドのサイズ指定(&amp;S)...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>オプション(&amp;O)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>サウンド／パラメータ(&amp;S)...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>デザイン(&amp;D)...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>言語 / Language(&amp;L)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>日本語(&amp;J)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>English(&amp;E)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ヘルプ(&amp;H)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>目次(&amp;C)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>パージョン情報(&amp;A)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Webページへ(&amp;W)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>サウンド／パラメータ(&amp;S)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>デザイン(&amp;D)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>配置グリッドのサイズ指定</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>配置情報ファイル (*.dat)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>配置情報の保存</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The layout could not be saved: %1</source>
        <translation>配置を保存できませんでした: %1</translation>
    </message>
    <message>
        <source>配置情報の読込</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TOptionDlg</name>
    <message>
        <source>&lt;none&gt;</source>
        <translation>&lt;なし&gt;</translation>
    </message>
    <message>
        <source>1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>2 (1の前後反対)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>4 (3の前後反対)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ランダムに 1 または 2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ランダムに 3 または 4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ランダムに 1 ～ 4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>サウンド/パラメータ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MIDI</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>デバイス</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>音色%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>音量</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>パラメータ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>到達距離</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>高まり速度</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>反応パターン</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
