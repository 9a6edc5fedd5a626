#include "app/ManualDlg.h"

#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QScreen>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

constexpr const char* kManual = R"(<h2>Tapewise</h2>
<p>Tapewise loads ZX Spectrum cassette tapes. Play a tape into the sound input, or open a recording
of one (WAV, FLAC, Ogg, AIFF, ...), and every block that loads appears in the list, with a row for
every read error. Save the blocks as a TAP or TZX image for an emulator.</p>

<h3>Recording a tape well</h3>
<ul>
<li>Connect the player's headphone or line output to the computer's line input (a microphone input
is usually too sensitive). Choose the input under Tools &gt; Options &gt; Sound input.</li>
<li>Set the volume so that the loudest parts stay below full scale: start low and raise it until
blocks load. Switch off tone controls, noise reduction and automatic gain control.</li>
<li>Clean the player's head and, if you can, adjust its azimuth for the tape: it matters more than
anything else for old tapes.</li>
<li>When recording with another program, record mono at 44.1 kHz or more, 16 bits, uncompressed
(WAV or FLAC), and open the file in Tapewise; the same recording can be decoded again with other
settings without playing the tape again.</li>
<li>The indicator at the right of the status bar blinks cyan and red while a leader tone is heard,
blue and yellow during data, and stays black in silence or noise. Signal Window shows the wave.</li>
</ul>

<h3>Modes (Tools &gt; Options)</h3>
<ul>
<li><b>Plain</b> (Robust and Archive off): the standard ROM loader's signal, fastest. Right for
tapes in good condition that load with the ROM.</li>
<li><b>Robust</b>: for noisy, worn, quiet or inverted recordings. The samples are conditioned and
three decoders run side by side; their results are merged so that each block appears once, and
blocks with a few stray bits at their edges are mended when the checksum then holds.</li>
<li><b>Archive</b>: for commercial tapes with turbo or custom loaders. Everything Robust loads, and
besides turbo blocks with their timing, tones, pulse sequences, direct recordings and pauses. Save
as TZX to keep them; a TAP image keeps only the data blocks, and Tapewise warns before it drops
anything.</li>
</ul>
<p>The pulse limits in Options are periods counted in samples at 22000 per second (22 samples are
one millisecond). Reset proposes the usual values.</p>

<h3>The list</h3>
<p>Select rows with the mouse or with Shift and Ctrl and the arrow keys. Move Up and Move Down
(Alt+Up, Alt+Down) change their order, Delete removes them, and Undo (Ctrl+Z) and Redo
(Ctrl+Shift+Z) take a delete or a move back. Save As writes the selected rows, or every row when
none is selected; Save (Ctrl+S) writes every row to the file last saved or opened.</p>

<h3>Keys</h3>
<p>Ctrl+O open, Ctrl+S save, Ctrl+Shift+S save as, Ctrl+Q quit, Ctrl+A select all, F1 this manual.
Escape or Enter in the main window ends Tapewise (Escape stops a recording being loaded first); you
are asked before blocks that are not saved would be lost. If Tapewise is ended from outside (a
logout, <code>kill</code>), unsaved blocks are kept and offered at the next start.</p>
)";

constexpr int kWidthInCharacters = 100;
constexpr int kHeightInLines = 40;

}  // namespace

const char* CManualDlg::Text() {
    return kManual;
}

CManualDlg::CManualDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Tapewise Manual");
    auto* text = new QTextBrowser(this);
    text->setAccessibleName("Manual");
    text->setHtml(kManual);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(buttons);
    const QFontMetrics metrics(font());
    QSize wanted(metrics.averageCharWidth() * kWidthInCharacters,
                 metrics.lineSpacing() * kHeightInLines);
    if (const QScreen* shown = parent != nullptr ? parent->screen() : screen()) {
        wanted = wanted.boundedTo(shown->availableGeometry().size() * 9 / 10);
    }
    resize(wanted);
}
