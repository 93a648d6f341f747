<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>AlsaSink</name>
    <message>
        <source>no ALSA device</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the ALSA device refused</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the ALSA device %1 plays through a sound server</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no sound card</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>opening was abandoned</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the ALSA device refused float stereo at a rate we render</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>AtomicFile</name>
    <message>
        <source>Cannot save %1: %2. The file keeps its previous content.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot save: no file name was given. Nothing was written.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its folder cannot be created</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the file system is read-only</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>there is no permission to write in its folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>there is no permission to write the file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the disk is full</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the disk quota is used up</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the file is larger than the system allows</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a folder of that name is in the way</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a device of that name is in the way</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the file is read-only</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its folder is not a folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its folder is read-only</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>AudioOutput</name>
    <message>
        <source>no such audio output</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>none to try</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no audio output (</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>); trying again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>; trying again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the sound output went away</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the sound server went away</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>Usage: %1 [--help | --version]</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Starts Marulet, a generative sound toy, in a window.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>show this help and exit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>show the version and exit</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>EmbeddedSynth</name>
    <message>
        <source>the synthesizer could not be created</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no usable General MIDI soundfont: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no General MIDI soundfont found</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no General MIDI soundfont found in </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> is not a SoundFont file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> could not be loaded</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ExternalMidiPorts</name>
    <message>
        <source>Marulet (仮想ポート)</source>
        <translation>Marulet (virtual port)</translation>
    </message>
</context>
<context>
    <name>FieldView</name>
    <message>
        <source>矢印キーで駒を選び、スペースか Enter で刺激、T で回転、Q で休止、N で休眠、Ctrl+矢印キーで移動（Ctrl+Shift+矢印キーで少しずつ）、Page Up と Page Down で番号順に選択、アプリケーションキーか Shift+F10 でメニュー</source>
        <translation>Arrow keys choose a piece; Space or Enter excites it, T turns it, Q quiets it, N puts it to sleep, Ctrl+arrow keys move it (Ctrl+Shift+arrow keys a few pixels at a time), Page Up and Page Down choose by number, the Menu key or Shift+F10 opens the menu</translation>
    </message>
    <message>
        <source>駒</source>
        <translation>Pieces</translation>
    </message>
    <message>
        <source>矢印キー: 駒を選ぶ
スペース／Enter: 刺激&#x3000;T: 回転&#x3000;Q: 休止&#x3000;N: 休眠
Ctrl+矢印キー: 移動（Ctrl+Shift+矢印キー: 少しずつ）
Page Up／Page Down: 番号順&#x3000;アプリケーションキー／Shift+F10: メニュー</source>
        <translation>Arrow keys: choose a piece
Space/Enter: excite   T: turn   Q: quiet   N: sleep
Ctrl+arrow keys: move (Ctrl+Shift+arrow keys: a few pixels)
Page Up/Page Down: by number   Menu key/Shift+F10: menu</translation>
    </message>
</context>
<context>
    <name>HelpWindow</name>
    <message>
        <source>Marulet ヘルプ</source>
        <translation>Marulet Help</translation>
    </message>
    <message>
        <source>目次</source>
        <translation>Contents</translation>
    </message>
    <message>
        <source>戻る</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>進む</source>
        <translation>Forward</translation>
    </message>
    <message>
        <source>ページが見つかりません</source>
        <translation>Page not found</translation>
    </message>
    <message>
        <source>ヘルプのページ「%1」がないため、表示できません。</source>
        <translation>The help page &quot;%1&quot; is missing, so it cannot be shown.</translation>
    </message>
    <message>
        <source>目次へ</source>
        <translation>To the contents</translation>
    </message>
</context>
<context>
    <name>IniFile</name>
    <message>
        <source>Cannot write [%1] %2 in %3: that name cannot be stored in an INI file. The value is not saved.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LayoutFile</name>
    <message>
        <source>%1 was passed over: %2.
The layout stays as it is.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is not a layout file: it holds no [Piece] section.
The layout stays as it is.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LoadPictureFile</name>
    <message>
        <source>Cannot read the picture file &quot;%1&quot; as %2: %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the file ends before the picture does</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PieceAccessible</name>
    <message>
        <source>演奏中</source>
        <translation>playing</translation>
    </message>
    <message>
        <source>休止中</source>
        <translation>quiet</translation>
    </message>
    <message>
        <source>休眠中</source>
        <translation>asleep</translation>
    </message>
    <message>
        <source>駒%1、音色%2、%3</source>
        <translation>Piece %1, voice %2, %3</translation>
    </message>
    <message>
        <source>駒%1、%2</source>
        <translation>Piece %1, %2</translation>
    </message>
    <message>
        <source>向き %1°、位置 %2, %3</source>
        <translation>turned %1°, at %2, %3</translation>
    </message>
    <message>
        <source>刺激</source>
        <translation>Excite</translation>
    </message>
    <message>
        <source>回転</source>
        <translation>Turn</translation>
    </message>
    <message>
        <source>休止</source>
        <translation>Quiet</translation>
    </message>
    <message>
        <source>休眠</source>
        <translation>Sleep</translation>
    </message>
    <message>
        <source>駒を刺激し、休眠中なら起こします</source>
        <translation>Excites the piece, and wakes it if it sleeps</translation>
    </message>
    <message>
        <source>駒を時計回りに 45 度回します</source>
        <translation>Turns the piece clockwise by 45 degrees</translation>
    </message>
    <message>
        <source>駒の衛星の高まりと速さをすべて 0 にします</source>
        <translation>Sets the level and rate of all the piece&apos;s satellites to 0</translation>
    </message>
    <message>
        <source>駒を休眠させます</source>
        <translation>Puts the piece to sleep</translation>
    </message>
</context>
<context>
    <name>PulseSink</name>
    <message>
        <source>no PulseAudio main loop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no PulseAudio context</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no sound server: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the sound server did not answer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the sound server refused a stream: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the sound server went away: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>opening was abandoned</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Recording</name>
    <message>
        <source>The MIDI recording could not be started: %1 could not be written (%2).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The MIDI recording could not be completed: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The audio recording could not be started: only the built-in synthesizer can be recorded as audio.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The audio recording could not be started: %1 could not be written (%2).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The audio recording could not be completed: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The audio recording misses %1 seconds that the disk could not take in time.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The MIDI recording stopped: %1. The file keeps what was recorded until then.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The audio recording stopped: %1. The file keeps what was recorded until then.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>RegularFile</name>
    <message>
        <source>it grew past the %1 MB such a file may have</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it is a named pipe, not a regular file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it is a device, not a regular file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it is a socket, not a regular file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it is a folder, not a file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it is not a regular file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it is %1 MB, more than the %2 MB such a file may have</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>there is no permission to read it</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SettingsFile</name>
    <message>
        <source>Marulet passed over its settings file %1: %2.
It starts with the default settings, and when it closes it writes its settings in that file&apos;s place.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SoundWarning</name>
    <message>
        <source>The MIDI output device number %1 saved in the settings does not exist on this computer; Marulet plays through &quot;%2&quot; instead. To use another device, choose it in Sound/Parameters.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The built-in synthesizer cannot play: %1.
Install a General MIDI soundfont (for example the package fluid-soundfont-gm or timgm6mb-soundfont), or name a soundfont file with the line SoundFont=path under [Sound] in %2, then start Marulet again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The built-in synthesizer has no sound output: %1.
Start the sound server (PulseAudio or PipeWire); the sound comes on by itself once it answers. Or choose another device in Sound/Parameters.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The MIDI output device &quot;%1&quot; saved in the settings is not connected; Marulet plays through &quot;%2&quot; until it is back. It stays chosen and is found again at the next start or when Sound/Parameters is opened; to use another device, choose it there.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The MIDI output device &quot;%1&quot; has gone away (unplugged, or its MIDI server stopped); Marulet plays through &quot;%2&quot; now. It stays chosen and is found again at the next start or when Sound/Parameters is opened.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SystemMidiService</name>
    <message>
        <source>%1 (no sound: %2)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TAboutBox</name>
    <message>
        <source>バージョン情報</source>
        <translation>About Marulet</translation>
    </message>
    <message>
        <source>フリーソフトウェア</source>
        <translation>Free software</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>TDesignDlg</name>
    <message>
        <source>デザイン設定</source>
        <translation>Design</translation>
    </message>
    <message>
        <source>配色(&amp;C)</source>
        <translation>&amp;Colours</translation>
    </message>
    <message>
        <source>背景(&amp;B)</source>
        <translation>&amp;Background</translation>
    </message>
    <message>
        <source>駒</source>
        <translation>Piece</translation>
    </message>
    <message>
        <source>輪郭</source>
        <translation>Outline</translation>
    </message>
    <message>
        <source>活性化</source>
        <translation>Active</translation>
    </message>
    <message>
        <source>休眠中</source>
        <translation>Asleep</translation>
    </message>
    <message>
        <source>背景画像(&amp;I)</source>
        <translation>Background &amp;image</translation>
    </message>
    <message>
        <source>有効</source>
        <translation>On</translation>
    </message>
    <message>
        <source>拡大</source>
        <translation>Fit</translation>
    </message>
    <message>
        <source>最大化時にタイトルバーを隠す</source>
        <translation>Hide the title bar when maximised</translation>
    </message>
    <message>
        <source>背景画像の選択</source>
        <translation>Choose a background picture</translation>
    </message>
    <message>
        <source>ビットマップ (*.bmp)</source>
        <translation>Bitmap (*.bmp)</translation>
    </message>
    <message>
        <source>JPEGファイル(*.JPG)</source>
        <translation>JPEG file (*.JPG)</translation>
    </message>
    <message>
        <source>PNGファイル(*.PNG)</source>
        <translation>PNG file (*.PNG)</translation>
    </message>
    <message>
        <source>GIFファイル(*.GIF)</source>
        <translation>GIF file (*.GIF)</translation>
    </message>
    <message>
        <source>背景の色</source>
        <translation>Background colour</translation>
    </message>
    <message>
        <source>ウィンドウの背景の色を選びます</source>
        <translation>Chooses the colour of the window&apos;s background</translation>
    </message>
    <message>
        <source>駒の色</source>
        <translation>Piece colour</translation>
    </message>
    <message>
        <source>静かな駒の本体と衛星の塗りの色を選びます</source>
        <translation>Chooses the fill of quiet bodies and satellites</translation>
    </message>
    <message>
        <source>輪郭の色</source>
        <translation>Outline colour</translation>
    </message>
    <message>
        <source>本体と衛星の輪郭の色を選びます</source>
        <translation>Chooses the outline of bodies and satellites</translation>
    </message>
    <message>
        <source>活性化の色</source>
        <translation>Active colour</translation>
    </message>
    <message>
        <source>高まった衛星と本体の塗りの色を選びます</source>
        <translation>Chooses the fill that rising satellites and bodies turn to</translation>
    </message>
    <message>
        <source>休眠中の色</source>
        <translation>Asleep colour</translation>
    </message>
    <message>
        <source>休眠中の駒の色を選びます</source>
        <translation>Chooses the colour of sleeping pieces</translation>
    </message>
    <message>
        <source>背景画像を選ぶ</source>
        <translation>Choose the background picture</translation>
    </message>
</context>
<context>
    <name>TMaruletMainForm</name>
    <message>
        <source>Marulet could not save its settings to %1: %2
The settings, window places and layout of this session are lost; the file keeps what it held before.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>すべて休止(&amp;A)</source>
        <translation>Stop &amp;all</translation>
    </message>
    <message>
        <source>すべて休眠(&amp;Z)</source>
        <translation>Put all to sleep (&amp;Z)</translation>
    </message>
    <message>
        <source>休眠状態をすべて解除(&amp;R)</source>
        <translation>&amp;Rouse all</translation>
    </message>
    <message>
        <source>元のサイズに戻す</source>
        <translation>Restore the normal size</translation>
    </message>
    <message>
        <source>デフォルトの配置(&amp;D)</source>
        <translation>&amp;Default layout</translation>
    </message>
    <message>
        <source>グリッドに配置(&amp;G)</source>
        <translation>Snap to &amp;grid</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>配置の読み込み(&amp;L)</source>
        <translation>&amp;Load layout...</translation>
    </message>
    <message>
        <source>配置の保存(&amp;S)</source>
        <translation>&amp;Save layout...</translation>
    </message>
    <message>
        <source>終了(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>駒操作(&amp;P)</source>
        <translation>&amp;Pieces</translation>
    </message>
    <message>
        <source>配置グリッドのサイズ指定(&amp;S)...</source>
        <translation>&amp;Set grid size...</translation>
    </message>
    <message>
        <source>オプション(&amp;O)</source>
        <translation>&amp;Options</translation>
    </message>
    <message>
        <source>サウンド／パラメータ(&amp;S)...</source>
        <translation>&amp;Sound/Parameters...</translation>
    </message>
    <message>
        <source>デザイン(&amp;D)...</source>
        <translation>&amp;Design...</translation>
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
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>目次(&amp;C)</source>
        <translation>&amp;Contents</translation>
    </message>
    <message>
        <source>Webページへ(&amp;W)</source>
        <translation>To the &amp;web page</translation>
    </message>
    <message>
        <source>サウンド／パラメータ(&amp;S)</source>
        <translation>&amp;Sound/Parameters</translation>
    </message>
    <message>
        <source>デザイン(&amp;D)</source>
        <translation>&amp;Design</translation>
    </message>
    <message>
        <source>配置グリッドのサイズ指定</source>
        <translation>Set the grid size</translation>
    </message>
    <message>
        <source>配置情報ファイル (*.dat)</source>
        <translation>Layout file (*.dat)</translation>
    </message>
    <message>
        <source>配置情報の保存</source>
        <translation>Save layout</translation>
    </message>
    <message>
        <source>The layout could not be saved: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>配置情報の読込</source>
        <translation>Load layout</translation>
    </message>
    <message>
        <source>The folder %1 does not exist.
Choose an existing folder for the layout file; no folder is created.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 was passed over: %2.
The layout is not saved there; choose another file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MIDI録音を停止(&amp;M)</source>
        <translation>Stop &amp;MIDI Recording</translation>
    </message>
    <message>
        <source>MIDI録音を開始(&amp;M)...</source>
        <translation>Start &amp;MIDI Recording...</translation>
    </message>
    <message>
        <source>音声録音を停止(&amp;A)</source>
        <translation>Stop &amp;Audio Recording</translation>
    </message>
    <message>
        <source>音声録音を開始(&amp;A)...</source>
        <translation>Start &amp;Audio Recording...</translation>
    </message>
    <message>
        <source>Only the built-in synthesizer &quot;Marulet Synth&quot; can be recorded as audio; an external MIDI device plays outside this program.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Marulet ● REC</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Record MIDI to</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MIDI files (*.mid)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Record audio to</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>WAV files (*.wav)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>バージョン情報(&amp;A)</source>
        <translation>&amp;About Marulet</translation>
    </message>
</context>
<context>
    <name>TOptionDlg</name>
    <message>
        <source>&lt;none&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>2 (1の前後反対)</source>
        <translation>2 (1 reversed)</translation>
    </message>
    <message>
        <source>3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>4 (3の前後反対)</source>
        <translation>4 (3 reversed)</translation>
    </message>
    <message>
        <source>ランダムに 1 または 2</source>
        <translation>Random 1 or 2</translation>
    </message>
    <message>
        <source>ランダムに 3 または 4</source>
        <translation>Random 3 or 4</translation>
    </message>
    <message>
        <source>ランダムに 1 ～ 4</source>
        <translation>Random 1 to 4</translation>
    </message>
    <message>
        <source>サウンド/パラメータ</source>
        <translation>Sound/Parameters</translation>
    </message>
    <message>
        <source>MIDI</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>デバイス</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>音色%1</source>
        <translation>Voice %1</translation>
    </message>
    <message>
        <source>音量</source>
        <translation>Vol.</translation>
    </message>
    <message>
        <source>パラメータ</source>
        <translation>Parameters</translation>
    </message>
    <message>
        <source>到達距離</source>
        <translation>Reach</translation>
    </message>
    <message>
        <source>高まり速度</source>
        <translation>Rise rate</translation>
    </message>
    <message>
        <source>反応パターン</source>
        <translation>Response</translation>
    </message>
    <message>
        <source>MIDI チャンネル %1</source>
        <translation>MIDI channel %1</translation>
    </message>
</context>
<context>
    <name>Usrfunc</name>
    <message>
        <source>the picture claims %1 x %2 pixels, more than the %3 megapixels a background picture may have</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The picture file &quot;%1&quot; was passed over: %2.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>WavRecorder</name>
    <message>
        <source>the file has reached the largest size a WAV file can have</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the file could not be closed</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
