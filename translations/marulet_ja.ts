<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja">
<context>
    <name>AlsaSink</name>
    <message>
        <source>no ALSA device</source>
        <translation>ALSA デバイスがありません</translation>
    </message>
    <message>
        <source>the ALSA device refused float stereo at our sample rate</source>
        <translation type="vanished">ALSA デバイスがこのサンプリングレートの浮動小数点ステレオを受け付けません</translation>
    </message>
    <message>
        <source>the ALSA device refused</source>
        <translation>ALSA デバイスが設定を受け付けません</translation>
    </message>
    <message>
        <source>the ALSA device %1 plays through a sound server</source>
        <translation>ALSA デバイス %1 はサウンドサーバーを通して鳴らします</translation>
    </message>
    <message>
        <source>no sound card</source>
        <translation>サウンドカードがありません</translation>
    </message>
    <message>
        <source>opening was abandoned</source>
        <translation>開くのを取りやめました</translation>
    </message>
    <message>
        <source>the ALSA device refused float stereo at a rate we render</source>
        <translation>ALSA デバイスが合成できるサンプリングレートでの浮動小数点ステレオを受け付けません</translation>
    </message>
</context>
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
    <message>
        <source>the file system is read-only</source>
        <translation>ファイルシステムが読み取り専用です</translation>
    </message>
    <message>
        <source>there is no permission to write in its folder</source>
        <translation>フォルダーに書き込む権限がありません</translation>
    </message>
    <message>
        <source>there is no permission to write the file</source>
        <translation>ファイルに書き込む権限がありません</translation>
    </message>
    <message>
        <source>the disk is full</source>
        <translation>ディスクがいっぱいです</translation>
    </message>
    <message>
        <source>the disk quota is used up</source>
        <translation>ディスクの割り当て容量を使い切っています</translation>
    </message>
    <message>
        <source>the file is larger than the system allows</source>
        <translation>ファイルがシステムの許す大きさを超えています</translation>
    </message>
    <message>
        <source>a device of that name is in the way</source>
        <translation>同じ名前のデバイスがあります</translation>
    </message>
</context>
<context>
    <name>AudioOutput</name>
    <message>
        <source>no such audio output</source>
        <translation>そのような音声出力はありません</translation>
    </message>
    <message>
        <source>none to try</source>
        <translation>試せる出力がありません</translation>
    </message>
    <message>
        <source>no audio output (</source>
        <translation>音声出力がありません（</translation>
    </message>
    <message>
        <source>); trying again</source>
        <translation>）。再試行しています</translation>
    </message>
    <message>
        <source>; trying again</source>
        <translation>。再試行しています</translation>
    </message>
    <message>
        <source>the sound output went away</source>
        <translation>音声出力が失われました</translation>
    </message>
    <message>
        <source>the sound server went away</source>
        <translation>サウンドサーバーが失われました</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>Usage: %1 [--help | --version]</source>
        <translation>使い方: %1 [--help | --version]</translation>
    </message>
    <message>
        <source>Starts Marulet, a generative sound toy, in a window.</source>
        <translation>サウンドのおもちゃ Marulet をウィンドウで起動します。</translation>
    </message>
    <message>
        <source>show this help and exit</source>
        <translation>この説明を表示して終了する</translation>
    </message>
    <message>
        <source>show the version and exit</source>
        <translation>バージョンを表示して終了する</translation>
    </message>
</context>
<context>
    <name>EmbeddedSynth</name>
    <message>
        <source>the synthesizer could not be created</source>
        <translation>シンセサイザーを作成できませんでした</translation>
    </message>
    <message>
        <source>no usable General MIDI soundfont: </source>
        <translation>使える General MIDI サウンドフォントがありません：</translation>
    </message>
    <message>
        <source>no General MIDI soundfont found</source>
        <translation>General MIDI サウンドフォントが見つかりません</translation>
    </message>
    <message>
        <source>no General MIDI soundfont found in </source>
        <translation>General MIDI サウンドフォントが次の場所に見つかりません：</translation>
    </message>
    <message>
        <source> is not a SoundFont file</source>
        <translation> はサウンドフォントファイルではありません</translation>
    </message>
    <message>
        <source> could not be loaded</source>
        <translation> を読み込めませんでした</translation>
    </message>
</context>
<context>
    <name>ExternalMidiPorts</name>
    <message>
        <source>Marulet (仮想ポート)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FieldView</name>
    <message>
        <source>矢印キーで駒を選び、スペースか Enter で刺激、T で回転、Q で休止、N で休眠、Ctrl+矢印キーで移動（Ctrl+Shift+矢印キーで少しずつ）、Page Up と Page Down で番号順に選択、アプリケーションキーか Shift+F10 でメニュー</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>駒</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>矢印キー: 駒を選ぶ
スペース／Enter: 刺激&#x3000;T: 回転&#x3000;Q: 休止&#x3000;N: 休眠
Ctrl+矢印キー: 移動（Ctrl+Shift+矢印キー: 少しずつ）
Page Up／Page Down: 番号順&#x3000;アプリケーションキー／Shift+F10: メニュー</source>
        <translation type="unfinished"></translation>
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
    <name>LayoutFile</name>
    <message>
        <source>%1 was passed over: %2.
The layout stays as it is.</source>
        <translation>%1 を読み込みませんでした：%2。
配置はそのままです。</translation>
    </message>
    <message>
        <source>%1 is not a layout file: it holds no [Piece] section.
The layout stays as it is.</source>
        <translation>%1 はレイアウトファイルではありません：[Piece] セクションがありません。
配置はそのままです。</translation>
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
        <translation type="vanished">%1 (画像は %2 x %3 ピクセルとされ、1 枚の画像に使える %4 MB を超えます)</translation>
    </message>
    <message>
        <source>the file ends before the picture does</source>
        <translation>画像の途中でファイルが終わっています</translation>
    </message>
</context>
<context>
    <name>PieceAccessible</name>
    <message>
        <source>演奏中</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>休止中</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>休眠中</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>駒%1、音色%2、%3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>駒%1、%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>向き %1°、位置 %2, %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>刺激</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>回転</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>休止</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>休眠</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>駒を刺激し、休眠中なら起こします</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>駒を時計回りに 45 度回します</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>駒の衛星の高まりと速さをすべて 0 にします</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>駒を休眠させます</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PulseSink</name>
    <message>
        <source>no PulseAudio main loop</source>
        <translation>PulseAudio のメインループを作れません</translation>
    </message>
    <message>
        <source>no PulseAudio context</source>
        <translation>PulseAudio のコンテキストを作れません</translation>
    </message>
    <message>
        <source>no sound server: </source>
        <translation>サウンドサーバーがありません：</translation>
    </message>
    <message>
        <source>the sound server did not answer</source>
        <translation>サウンドサーバーが応答しませんでした</translation>
    </message>
    <message>
        <source>the sound server refused a stream: </source>
        <translation>サウンドサーバーがストリームを拒否しました：</translation>
    </message>
    <message>
        <source>the sound server went away: </source>
        <translation>サウンドサーバーが失われました：</translation>
    </message>
    <message>
        <source>opening was abandoned</source>
        <translation>開くのを取りやめました</translation>
    </message>
</context>
<context>
    <name>Recording</name>
    <message>
        <source>The MIDI recording could not be started: %1 could not be written (%2).</source>
        <translation>MIDI録音を開始できませんでした。%1 に書き込めません（%2）。</translation>
    </message>
    <message>
        <source>The MIDI recording could not be completed: %1.</source>
        <translation>MIDI録音を最後まで書き込めませんでした（%1）。</translation>
    </message>
    <message>
        <source>The audio recording could not be started: only the built-in synthesizer can be recorded as audio.</source>
        <translation>音声録音を開始できませんでした。音声を録音できるのは内蔵シンセサイザーだけです。</translation>
    </message>
    <message>
        <source>The audio recording could not be started: %1 could not be written (%2).</source>
        <translation>音声録音を開始できませんでした。%1 に書き込めません（%2）。</translation>
    </message>
    <message>
        <source>The audio recording could not be completed: %1.</source>
        <translation>音声録音を最後まで書き込めませんでした（%1）。</translation>
    </message>
    <message>
        <source>The audio recording misses %1 seconds that the disk could not take in time.</source>
        <translation>ディスクへの書き込みが間に合わず、音声録音のうち %1 秒分が抜けています。</translation>
    </message>
    <message>
        <source>The MIDI recording stopped: %1. The file keeps what was recorded until then.</source>
        <translation>MIDI録音が止まりました（%1）。それまでに録音した分はファイルに残っています。</translation>
    </message>
    <message>
        <source>The audio recording stopped: %1. The file keeps what was recorded until then.</source>
        <translation>音声録音が止まりました（%1）。それまでに録音した分はファイルに残っています。</translation>
    </message>
</context>
<context>
    <name>RegularFile</name>
    <message>
        <source>it grew past the %1 MB such a file may have</source>
        <translation>読み込み中に上限の %1 MB を超えました</translation>
    </message>
    <message>
        <source>it is a named pipe, not a regular file</source>
        <translation>名前付きパイプであり、通常のファイルではありません</translation>
    </message>
    <message>
        <source>it is a device, not a regular file</source>
        <translation>デバイスであり、通常のファイルではありません</translation>
    </message>
    <message>
        <source>it is a socket, not a regular file</source>
        <translation>ソケットであり、通常のファイルではありません</translation>
    </message>
    <message>
        <source>it is a folder, not a file</source>
        <translation>フォルダーであり、ファイルではありません</translation>
    </message>
    <message>
        <source>it is not a regular file</source>
        <translation>通常のファイルではありません</translation>
    </message>
    <message>
        <source>it is %1 MB, more than the %2 MB such a file may have</source>
        <translation>大きさが %1 MB あり、この種のファイルの上限 %2 MB を超えています</translation>
    </message>
    <message>
        <source>there is no permission to read it</source>
        <translation>読み取る権限がありません</translation>
    </message>
</context>
<context>
    <name>SettingsFile</name>
    <message>
        <source>Marulet passed over its settings file %1: %2.
It starts with the default settings, and when it closes it writes its settings in that file&apos;s place.</source>
        <translation>設定ファイル %1 を読み込みませんでした：%2。
既定の設定で起動し、終了時にそのファイルの代わりに設定を書き込みます。</translation>
    </message>
</context>
<context>
    <name>SoundWarning</name>
    <message>
        <source>The MIDI output device number %1 saved in the settings does not exist on this computer; Marulet plays through &quot;%2&quot; instead. To use another device, choose it in Sound/Parameters.</source>
        <translation>設定に保存されている MIDI 出力デバイス %1 番はこのコンピューターにありません。代わりに「%2」で鳴らします。ほかのデバイスを使うには、「サウンド／パラメータ」で選んでください。</translation>
    </message>
    <message>
        <source>The built-in synthesizer cannot play: %1.
Install a General MIDI soundfont (for example the package fluid-soundfont-gm or timgm6mb-soundfont), or name a soundfont file with the line SoundFont=path under [Sound] in %2, then start Marulet again.</source>
        <translation>内蔵の音源を鳴らせません: %1。
General MIDI のサウンドフォント（たとえば fluid-soundfont-gm か timgm6mb-soundfont のパッケージ）をインストールするか、%2 の [Sound] に SoundFont=パス の行でサウンドフォントのファイルを指定してから、Marulet を起動し直してください。</translation>
    </message>
    <message>
        <source>The built-in synthesizer has no sound output: %1.
Start the sound server (PulseAudio or PipeWire); the sound comes on by itself once it answers. Or choose another device in Sound/Parameters.</source>
        <translation>内蔵の音源の音を出す先がありません: %1。
サウンドサーバー（PulseAudio または PipeWire）を起動してください。サーバーが応答すれば自動的に音が出ます。または「サウンド／パラメータ」でほかのデバイスを選んでください。</translation>
    </message>
    <message>
        <source>The MIDI output device &quot;%1&quot; saved in the settings is not connected; Marulet plays through &quot;%2&quot; until it is back. It stays chosen and is found again at the next start or when Sound/Parameters is opened; to use another device, choose it there.</source>
        <translation>設定に保存されている MIDI 出力デバイス「%1」がつながっていません。戻るまで「%2」で鳴らします。選択はそのまま残り、次の起動時か「サウンド／パラメータ」を開いたときにまた見つけます。ほかのデバイスを使うには、そこで選んでください。</translation>
    </message>
    <message>
        <source>The MIDI output device &quot;%1&quot; has gone away (unplugged, or its MIDI server stopped); Marulet plays through &quot;%2&quot; now. It stays chosen and is found again at the next start or when Sound/Parameters is opened.</source>
        <translation>MIDI 出力デバイス「%1」がなくなりました（抜かれたか、MIDI サーバーが止まりました）。いまは「%2」で鳴らしています。選択はそのまま残り、次の起動時か「サウンド／パラメータ」を開いたときにまた見つけます。</translation>
    </message>
</context>
<context>
    <name>SystemMidiService</name>
    <message>
        <source> (no sound: </source>
        <translation type="vanished">（音が出ません：</translation>
    </message>
    <message>
        <source>%1 (no sound: %2)</source>
        <translation>%1（音が出ません：%2）</translation>
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
    <message>
        <source>背景の色</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ウィンドウの背景の色を選びます</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>駒の色</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>静かな駒の本体と衛星の塗りの色を選びます</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>輪郭の色</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>本体と衛星の輪郭の色を選びます</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>活性化の色</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>高まった衛星と本体の塗りの色を選びます</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>休眠中の色</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>休眠中の駒の色を選びます</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>背景画像を選ぶ</source>
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
    <message>
        <source>The folder %1 does not exist.
Choose an existing folder for the layout file; no folder is created.</source>
        <translation>フォルダー %1 は存在しません。
配置情報ファイルには既存のフォルダーを選んでください。フォルダーは作成されません。</translation>
    </message>
    <message>
        <source>%1 was passed over: %2.
The layout is not saved there; choose another file.</source>
        <translation>%1 を読み込みませんでした：%2。
配置はそこには保存されません。別のファイルを選んでください。</translation>
    </message>
    <message>
        <source>MIDI録音を停止(&amp;M)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MIDI録音を開始(&amp;M)...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>音声録音を停止(&amp;A)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>音声録音を開始(&amp;A)...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Only the built-in synthesizer &quot;Marulet Synth&quot; can be recorded as audio; an external MIDI device plays outside this program.</source>
        <translation>音声を録音できるのは内蔵シンセサイザー「Marulet Synth」だけです。外部の MIDI デバイスの音はこのプログラムの外で鳴ります。</translation>
    </message>
    <message>
        <source>Marulet ● REC</source>
        <translation>Marulet ● REC</translation>
    </message>
    <message>
        <source>Record MIDI to</source>
        <translation>MIDI録音の保存先</translation>
    </message>
    <message>
        <source>MIDI files (*.mid)</source>
        <translation>MIDI ファイル (*.mid)</translation>
    </message>
    <message>
        <source>Record audio to</source>
        <translation>音声録音の保存先</translation>
    </message>
    <message>
        <source>WAV files (*.wav)</source>
        <translation>WAV ファイル (*.wav)</translation>
    </message>
    <message>
        <source>バージョン情報(&amp;A)</source>
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
    <message>
        <source>MIDI チャンネル %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Usrfunc</name>
    <message>
        <source>the picture claims %1 x %2 pixels, more than the %3 megapixels a background picture may have</source>
        <translation>画像は %1 x %2 ピクセルあり、背景画像の上限 %3 メガピクセルを超えています</translation>
    </message>
    <message>
        <source>The picture file &quot;%1&quot; was passed over: %2.</source>
        <translation>画像ファイル「%1」を読み込みませんでした：%2。</translation>
    </message>
</context>
<context>
    <name>WavRecorder</name>
    <message>
        <source>the file has reached the largest size a WAV file can have</source>
        <translation>WAV ファイルの最大サイズに達しました</translation>
    </message>
    <message>
        <source>the file could not be closed</source>
        <translation>ファイルを閉じられませんでした</translation>
    </message>
</context>
</TS>
