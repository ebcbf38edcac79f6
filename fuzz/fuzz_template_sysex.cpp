// PanelSettings::applyTemplateSysEx: any received dump or .syx file is taken without harm; the
// settings it leaves build a well-formed 162-byte template, and that template reads back to the
// same settings (building it again gives the same bytes).
#include "FuzzSupport.h"

#include "core/panel/PanelSettings.h"
#include "core/protocol/TransferHeader.h"

namespace {

// Made once: a PanelSettings is costly to make (its note name table). Each input starts from the
// default template, applied whole, so no input sees what an earlier one left.
struct Fixture
{
    PanelSettings settings;
    PanelSettings again;
    QByteArray defaults;

    Fixture()
    {
        settings.storeDefaultBoxes();
        defaults = settings.buildTemplateSysEx();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static Fixture fixture;
    PanelSettings &settings = fixture.settings;
    FUZZ_CHECK(settings.applyTemplateSysEx(fixture.defaults));
    FUZZ_CHECK(settings.buildTemplateSysEx() == fixture.defaults);
    const bool applied = settings.applyTemplateSysEx(data, size);
    FUZZ_CHECK(applied == (size >= std::size_t(PanelSettings::minimumSysExSize)));

    for (int slot = 0; slot < PanelSettings::slotCount; ++slot) {
        for (int f = 0; f < PanelSettings::boxFieldCount; ++f) {
            const QString text = settings.fieldText(slot, PanelSettings::Field(f));
            FUZZ_CHECK(text.size() <= PanelSettings::recordSize);
        }
    }

    const QByteArray built = settings.buildTemplateSysEx();
    FUZZ_CHECK(built.size() == PanelSettings::templateSysExSize);
    FUZZ_CHECK(std::uint8_t(built.front()) == 0xF0 && std::uint8_t(built.back()) == 0xF7);
    FUZZ_CHECK(TransferHeader::matches(asBytes(built), std::size_t(built.size()), TransferHeader::TemplateImage));
    for (qsizetype i = 1; i + 1 < built.size(); ++i) {
        if (i != 12)   // the frame's 0x89 is the only byte of the body with its top bit set
            FUZZ_CHECK((std::uint8_t(built[i]) & 0x80) == 0);
    }

    PanelSettings &again = fixture.again;   // a whole template overwrites all it held before
    FUZZ_CHECK(again.applyTemplateSysEx(built));
    FUZZ_CHECK(again.buildTemplateSysEx() == built);
    return 0;
}
