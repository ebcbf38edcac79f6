#!/usr/bin/env python3
"""Draws the program's artwork as SVG files into res/art/.

Every picture is drawn here from plain shapes; run it again after changing a picture and
commit the result. The panel geometry must match src/widgets/SkinLayout.cpp: the skin carries
an element id per area and per slot box, and the widget tests compare those bounds with the
layout table, so a drift between the two fails the build's tests.
"""
import os

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'art')

FONT = "DejaVu Sans"
INK = '#c9d1db'        # light text
DIM = '#7f8996'        # legends
AMBER = '#f0a53a'      # accents and highlights
AMBER_DIM = '#9c6a24'
FRAME_FILL = '#1f242b'
FRAME_LINE = '#3a424d'
WELL = '#0c0e11'
WELL_LINE = '#2e343d'

# ---- layout (same numbers as SkinLayout) -------------------------------------------------
W, H = 899, 575
BAND = 50
BOX_W, BOX_H, BOX_GAP, ROW_PITCH = 26, 16, 2, 18
KNOB_X0, SLOT_PITCH = 60, 103
KNOB_ROW_Y, PAD_ROW_Y = 424, 508

def slot_origin(slot):
    if slot < 8:
        return (KNOB_X0 + SLOT_PITCH * slot + 42, KNOB_ROW_Y)
    if slot < 16:
        return (KNOB_X0 + SLOT_PITCH * (slot - 8) + 42, PAD_ROW_Y)
    return {16: (127, 106), 17: (127, 314), 18: (60, 204), 19: (194, 204), 20: (402, 330)}[slot]

def slot_box(slot, field):
    ox, oy = slot_origin(slot)
    return (ox + (field % 2) * (BOX_W + BOX_GAP), oy + (field // 2) * ROW_PITCH, BOX_W, BOX_H)

AREAS = {
    'joystick': (10, 66, 268, 332),
    'names': (284, 66, 202, 232),
    'pedal': (284, 304, 202, 94),
    'markers': (500, 66, 180, 232),
    'plate': (500, 304, 180, 94),
    'library': (688, 66, 150, 332),
    'knobs': (10, 404, 879, 78),
    'pads': (10, 488, 879, 78),
}
KNOB_PIC = [(KNOB_X0 + SLOT_PITCH * i, 431, 38, 38) for i in range(8)]
PAD_PIC = [(KNOB_X0 + SLOT_PITCH * i, 515, 38, 38) for i in range(8)]
JOY_PIC = (122, 198, 64, 64)
PEDAL_PIC = (300, 328, 34, 56)
NAME_LIST = (286, 144, 195, 147)
MODE_BUTTON = (369, 99, 12, 33)
CHANNEL_BOX = (306, 117, 17, 18)
MARKER_LIST = (514, 87, 152, 188)
FILE_COMBO = (699, 87, 129, 22)
FILE_LIST = (696, 110, 134, 287)

# ---- helpers -----------------------------------------------------------------------------
def svg(w, h, body, defs=''):
    return (f'<svg xmlns="http://www.w3.org/2000/svg" version="1.1" width="{w}" height="{h}" '
            f'viewBox="0 0 {w} {h}">\n<defs>{defs}</defs>\n{body}\n</svg>\n')

def text(x, y, s, size=8, fill=INK, anchor='start', weight='normal', spacing=0, extra=''):
    ls = f' letter-spacing="{spacing}"' if spacing else ''
    return (f'<text x="{x}" y="{y}" font-family="{FONT}" font-size="{size}" fill="{fill}" '
            f'text-anchor="{anchor}" font-weight="{weight}"{ls}{extra}>{s}</text>')

def rect(x, y, w, h, fill, stroke=None, rx=0, ident=None, sw=1, extra=''):
    st = f' stroke="{stroke}" stroke-width="{sw}"' if stroke else ''
    i = f' id="{ident}"' if ident else ''
    return f'<rect{i} x="{x}" y="{y}" width="{w}" height="{h}" rx="{rx}" fill="{fill}"{st}{extra}/>'

def well(r, ident=None, rx=2):
    x, y, w, h = r
    # Exact bounds on the element with the id; the line sits inside it.
    return (rect(x, y, w, h, WELL, ident=ident, rx=rx)
            + rect(x + 0.5, y + 0.5, w - 1, h - 1, 'none', WELL_LINE, rx=rx))

def write(name, content):
    with open(os.path.join(OUT, name), 'w') as f:
        f.write(content)

# ---- the skin ----------------------------------------------------------------------------
def frame(name, title):
    x, y, w, h = AREAS[name]
    return (rect(x + 0.5, y + 0.5, w - 1, h - 1, 'url(#frameFill)', FRAME_LINE, rx=6, ident='area-' + name)
            + text(x + 8, y + 13, title, 8, AMBER, weight='bold', spacing=1.5))

def legend_rows(right_x, top, labels=('CH / CC', 'MSB / LSB', 'RANGE')):
    return ''.join(text(right_x, top + r * ROW_PITCH + 11.5, s, 7, DIM, 'end') for r, s in enumerate(labels))

def slot_wells(slot):
    return ''.join(well(slot_box(slot, f), ident=f'box-{slot}-{f}') for f in range(6))

def skin():
    defs = ('<linearGradient id="bg" x1="0" y1="0" x2="0" y2="1">'
            '<stop offset="0" stop-color="#20252c"/><stop offset="1" stop-color="#111418"/></linearGradient>'
            '<linearGradient id="band" x1="0" y1="0" x2="0" y2="1">'
            '<stop offset="0" stop-color="#2b313a"/><stop offset="1" stop-color="#171a1f"/></linearGradient>'
            '<linearGradient id="frameFill" x1="0" y1="0" x2="0" y2="1">'
            '<stop offset="0" stop-color="#232830"/><stop offset="1" stop-color="#1a1e24"/></linearGradient>'
            '<radialGradient id="led" cx="0.5" cy="0.5" r="0.5">'
            f'<stop offset="0" stop-color="#ffd27a"/><stop offset="1" stop-color="{AMBER_DIM}"/></radialGradient>')
    b = [rect(0, 0, W, H, 'url(#bg)', ident='skin'),
         rect(0.5, 0.5, W - 1, H - 1, 'none', '#4a525e', rx=0)]
    # Top band: the window is moved by dragging here.
    b.append(rect(1, 1, W - 2, 62, 'url(#band)', ident='band'))
    b.append(f'<line x1="1" y1="63.5" x2="{W-1}" y2="63.5" stroke="{AMBER_DIM}" stroke-width="1"/>')
    b.append(text(22, 36, 'ZORVIK', 22, INK, weight='bold', spacing=4))
    b.append(text(24, 52, 'HALDEN  ·  CONTROLLER EDITOR', 7.5, AMBER, spacing=1.6))
    b.append(f'<circle cx="232" cy="45" r="3" fill="url(#led)"/>')
    # Bar groove behind the buttons.
    b.append(rect(248, 30, 488, 31, '#12151a', '#343b45', rx=5))
    b.append(rect(772, 30, 69, 31, '#12151a', '#343b45', rx=5))

    for name, title in (('joystick', 'JOYSTICK'), ('names', 'NAMES'), ('pedal', 'PEDAL'),
                        ('markers', 'MARKERS'), ('library', 'LIBRARY'), ('knobs', 'KNOBS'), ('pads', 'PADS')):
        b.append(frame(name, title))

    # Joystick: Up above, Down below, Left and Right beside the picture.
    b.append(text(154, 100, 'UP', 7, AMBER_DIM, 'middle', spacing=1))
    b.append(text(154, 308, 'DOWN', 7, AMBER_DIM, 'middle', spacing=1))
    b.append(text(87, 198, 'LEFT', 7, AMBER_DIM, 'middle', spacing=1))
    b.append(text(221, 198, 'RIGHT', 7, AMBER_DIM, 'middle', spacing=1))
    b.append(legend_rows(121, 106))
    b.append(legend_rows(121, 314))
    b.append(legend_rows(56, 204))
    b.append(f'<circle cx="154" cy="230" r="44" fill="none" stroke="#2a3039" stroke-width="1"/>')
    b.append(well(JOY_PIC, 'pic-joystick', rx=8))
    for s in (16, 17, 18, 19):
        b.append(slot_wells(s))

    # Names: channel box with its step buttons, list mode button and the name list.
    b.append(text(300, 110, 'CHANNEL', 7, DIM))
    b.append(well(CHANNEL_BOX, 'channel'))
    b.append(rect(329, 111, 19, 24, '#15181d', WELL_LINE, rx=2))
    b.append(well(MODE_BUTTON, 'mode-button', rx=3))
    b.append(text(388, 112, 'CC', 7, DIM))
    b.append(text(388, 130, 'NOTE', 7, DIM))
    b.append(well(NAME_LIST, 'name-list'))

    # Pedal.
    b.append(well(PEDAL_PIC, 'pic-pedal', rx=4))
    b.append(legend_rows(398, 330))
    b.append(slot_wells(20))

    # Markers and library.
    b.append(well(MARKER_LIST, 'marker-list'))
    b.append(well(FILE_COMBO, 'file-combo'))
    b.append(well(FILE_LIST, 'file-list'))

    # Name plate.
    x, y, w, h = AREAS['plate']
    b.append(rect(x + 0.5, y + 0.5, w - 1, h - 1, '#15181d', FRAME_LINE, rx=6, ident='area-plate'))
    for i in range(7):
        b.append(f'<line x1="{x+14}" y1="{y+16+i*10}.5" x2="{x+w-14}" y2="{y+16+i*10}.5" '
                 'stroke="#22272e" stroke-width="3" stroke-linecap="round"/>')
    b.append(rect(x + 36, y + 30, w - 72, 34, '#1b1f25', '#3a424d', rx=4))
    b.append(text(x + w / 2, y + 47, 'ZORVIK', 12, INK, 'middle', 'bold', 3))
    b.append(text(x + w / 2, y + 59, 'USB MIDI CONTROLLER', 6.5, AMBER, 'middle', spacing=1.2))

    # Right edge ribbon.
    b.append(rect(846, 66, 43, 332, '#15181d', FRAME_LINE, rx=6))
    for i in range(4):
        b.append(f'<circle cx="867.5" cy="{96 + i * 22}" r="4" fill="{"url(#led)" if i == 0 else "#2a3039"}"/>')
    b.append(text(867, 380, 'HALDEN', 11, '#4c5561', 'start', 'bold', 3,
                  ' transform="rotate(-90 867 380)" dy="4"'))

    # Knob and pad rows: one legend per row, number over each picture.
    for row, (pics, top, first) in enumerate(((KNOB_PIC, KNOB_ROW_Y, 0), (PAD_PIC, PAD_ROW_Y, 8))):
        b.append(legend_rows(56, top))
        for i in range(8):
            px, py, pw, ph = pics[i]
            b.append(text(px + pw / 2, top - 6, str(i + 1), 8, AMBER_DIM, 'middle', 'bold'))
            b.append(well((px, py, pw, ph), f'pic-{"knob" if row == 0 else "pad"}{i + 1}',
                          rx=19 if row == 0 else 5))
            b.append(slot_wells(first + i))
    return svg(W, H, '\n'.join(b), defs)

# ---- buttons -----------------------------------------------------------------------------
def bar_button(label, hover):
    w, h = 51, 23
    top, bottom = ('#3b4350', '#262b33') if hover else ('#2c323b', '#1c2026')
    line = AMBER if hover else '#474f5b'
    ink = '#ffffff' if hover else INK
    defs = (f'<linearGradient id="g" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="{top}"/>'
            f'<stop offset="1" stop-color="{bottom}"/></linearGradient>')
    body = [rect(0.5, 0.5, w - 1, h - 1, 'url(#g)', line, rx=4)]
    body.append(f'<line x1="4" y1="19.5" x2="{w-4}" y2="19.5" stroke="{AMBER if hover else "#3a414c"}" stroke-width="1"/>')
    body.append(text(w / 2, 14, label, 7.5, ink, 'middle', 'bold', 0.6))
    return svg(w, h, '\n'.join(body), defs)

def window_button(kind, hover):
    w = h = 23
    line = AMBER if hover else '#474f5b'
    fill = '#3b4350' if hover else '#262b33'
    mark = '#ffffff' if hover else INK
    body = [f'<circle cx="11.5" cy="11.5" r="10.5" fill="{fill}" stroke="{line}" stroke-width="1"/>']
    if kind == 'min':
        body.append(f'<line x1="7" y1="14.5" x2="16" y2="14.5" stroke="{mark}" stroke-width="2" stroke-linecap="round"/>')
    else:
        body.append(f'<path d="M8 8 L15 15 M15 8 L8 15" stroke="{"#ff6a5a" if hover else mark}" '
                    'stroke-width="2" stroke-linecap="round"/>')
    return svg(w, h, '\n'.join(body))

def step_button(up, hover):
    w, h = 15, 9
    fill = AMBER if hover else '#9aa3ae'
    tri = 'M3.5 7 L7.5 2 L11.5 7 Z' if up else 'M3.5 2 L7.5 7 L11.5 2 Z'
    return svg(w, h, rect(0.5, 0.5, w - 1, h - 1, '#262b33', '#474f5b', rx=2) + f'<path d="{tri}" fill="{fill}"/>')

def mode_button(note):
    w, h = 12, 33
    body = [rect(0.5, 0.5, w - 1, h - 1, '#1a1e24', '#474f5b', rx=3)]
    # The lit half tells which list is shown: upper for controllers, lower for notes.
    body.append(rect(2, 2 if not note else 17, 8, 14, AMBER, rx=2))
    body.append(rect(2, 17 if not note else 2, 8, 14, '#2c323b', rx=2))
    return svg(w, h, '\n'.join(body))

# ---- control pictures --------------------------------------------------------------------
def knob(lit):
    ring = AMBER if lit else '#4a525e'
    defs = ('<radialGradient id="cap" cx="0.4" cy="0.35" r="0.7"><stop offset="0" stop-color="#59616d"/>'
            '<stop offset="1" stop-color="#1d2127"/></radialGradient>')
    body = [f'<circle cx="19" cy="19" r="17.5" fill="#101317" stroke="{ring}" stroke-width="{2 if lit else 1}"/>']
    for i in range(11):
        import math
        a = math.radians(135 + i * 27)
        x1, y1 = 19 + 15.5 * math.cos(a), 19 + 15.5 * math.sin(a)
        x2, y2 = 19 + 17 * math.cos(a), 19 + 17 * math.sin(a)
        body.append(f'<line x1="{x1:.2f}" y1="{y1:.2f}" x2="{x2:.2f}" y2="{y2:.2f}" stroke="{AMBER if lit else "#5b6470"}" stroke-width="1"/>')
    body.append('<circle cx="19" cy="19" r="12" fill="url(#cap)" stroke="#0b0d10" stroke-width="1"/>')
    body.append(f'<line x1="19" y1="19" x2="11.5" y2="11.5" stroke="{AMBER if lit else "#d6dbe2"}" stroke-width="2" stroke-linecap="round"/>')
    return svg(38, 38, '\n'.join(body), defs)

def pad(lit):
    defs = ('<linearGradient id="p" x1="0" y1="0" x2="0" y2="1">'
            + ('<stop offset="0" stop-color="#ffcb72"/><stop offset="1" stop-color="#c97d1c"/>' if lit else
               '<stop offset="0" stop-color="#3d4550"/><stop offset="1" stop-color="#262b33"/>')
            + '</linearGradient>')
    body = [rect(1, 1, 36, 36, '#0f1215', AMBER if lit else '#4a525e', rx=6),
            rect(4, 4, 30, 30, 'url(#p)', '#0b0d10', rx=4),
            rect(7, 6, 24, 3, '#ffffff' if lit else '#59616d', rx=1.5, extra=' opacity="0.35"')]
    return svg(38, 38, '\n'.join(body), defs)

def pedal(lit):
    defs = ('<linearGradient id="p" x1="0" y1="0" x2="1" y2="0">'
            + ('<stop offset="0" stop-color="#c97d1c"/><stop offset="1" stop-color="#ffcb72"/>' if lit else
               '<stop offset="0" stop-color="#262b33"/><stop offset="1" stop-color="#454d59"/>')
            + '</linearGradient>')
    body = [rect(1, 46, 32, 9, '#0f1215', '#4a525e', rx=2),
            f'<path d="M5 46 L8 4 Q17 0 26 4 L29 46 Z" fill="url(#p)" stroke="{AMBER if lit else "#59616d"}" stroke-width="1"/>']
    for y in (12, 18, 24, 30, 36):
        body.append(f'<line x1="10" y1="{y}.5" x2="24" y2="{y}.5" stroke="#0b0d10" stroke-width="1" opacity="0.6"/>')
    return svg(34, 56, '\n'.join(body), defs)

def joystick(up, down):
    defs = ('<radialGradient id="ball" cx="0.4" cy="0.35" r="0.7"><stop offset="0" stop-color="#6a7380"/>'
            '<stop offset="1" stop-color="#1d2127"/></radialGradient>')
    def arrow(pointing_up, lit):
        fill = AMBER if lit else '#3a414c'
        return (f'<path d="M24 13 L32 4 L40 13 Z" fill="{fill}"/>' if pointing_up
                else f'<path d="M24 51 L32 60 L40 51 Z" fill="{fill}"/>')
    body = [f'<circle cx="32" cy="32" r="30" fill="#101317" stroke="{AMBER if (up or down) else "#4a525e"}" stroke-width="1"/>',
            arrow(True, up), arrow(False, down),
            '<path d="M4 32 L12 26 L12 38 Z" fill="#3a414c"/><path d="M60 32 L52 26 L52 38 Z" fill="#3a414c"/>',
            '<circle cx="32" cy="32" r="11" fill="#1a1e24" stroke="#0b0d10"/>',
            '<circle cx="32" cy="32" r="8" fill="url(#ball)"/>']
    return svg(64, 64, '\n'.join(body), defs)

def box_background(w, h):
    return svg(w, h, rect(0, 0, w, h, WELL, rx=2) + rect(0.5, 0.5, w - 1, h - 1, 'none', '#3a424d', rx=2))

def vertex_ball():
    defs = ('<radialGradient id="b" cx="0.35" cy="0.35" r="0.65"><stop offset="0" stop-color="#f0f0f0"/>'
            '<stop offset="1" stop-color="#505050"/></radialGradient>')
    return svg(13, 13, rect(0, 0, 13, 13, '#000000') + '<circle cx="6" cy="6" r="5.5" fill="url(#b)"/>', defs)

def app_icon():
    defs = ('<linearGradient id="g" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#2f3640"/>'
            '<stop offset="1" stop-color="#15181d"/></linearGradient>')
    body = [rect(2, 2, 60, 60, 'url(#g)', '#4a525e', rx=12),
            f'<circle cx="22" cy="22" r="10" fill="#101317" stroke="{AMBER}" stroke-width="2.5"/>',
            f'<line x1="22" y1="22" x2="16" y2="16" stroke="{AMBER}" stroke-width="3" stroke-linecap="round"/>',
            rect(36, 12, 18, 18, AMBER, rx=3),
            rect(10, 38, 18, 16, '#59616d', rx=3), rect(36, 38, 18, 16, '#59616d', rx=3)]
    return svg(64, 64, '\n'.join(body), defs)

def drag_cursor():
    body = ['<path d="M1 1 L1 17 L5 13 L8 20 L11 19 L8 12 L13 12 Z" fill="#ffffff" stroke="#000000" stroke-width="1"/>',
            rect(12.5, 15.5, 14, 10, AMBER, '#000000', rx=1),
            '<line x1="15" y1="19.5" x2="24" y2="19.5" stroke="#000000"/><line x1="15" y1="22.5" x2="21" y2="22.5" stroke="#000000"/>']
    return svg(32, 32, '\n'.join(body))

def hand_cursor():
    body = ['<path d="M10 2 Q12 0.5 14 2 L14 11 L16 10.5 Q18 10 19 11.5 L21 11 Q23 11 23.5 12.5 L25 12.5 '
            'Q27 12.8 27 15 L27 22 Q27 27 23 29 L15 29 Q12 28 10 25 L5 18 Q4 15.5 6.5 15.5 L10 18 Z" '
            'fill="#ffffff" stroke="#000000" stroke-width="1.2" stroke-linejoin="round"/>',
            '<line x1="14" y1="11" x2="14" y2="19" stroke="#000000"/>',
            '<line x1="19" y1="11.5" x2="19" y2="19" stroke="#000000"/>',
            '<line x1="23.5" y1="12.5" x2="23.5" y2="19" stroke="#000000"/>']
    return svg(32, 32, '\n'.join(body))

def main():
    os.makedirs(OUT, exist_ok=True)
    write('skin.svg', skin())
    for name, label in (('save', 'SAVE'), ('default', 'DEFAULT'), ('device', 'DEVICE'), ('web', 'WEB'),
                        ('receive', 'RECEIVE'), ('help', 'HELP'), ('about', 'ABOUT'), ('curve', 'CURVE')):
        write(f'bar-{name}.svg', bar_button(label, False))
        write(f'bar-{name}-hover.svg', bar_button(label, True))
    for kind in ('min', 'close'):
        write(f'window-{kind}.svg', window_button(kind, False))
        write(f'window-{kind}-hover.svg', window_button(kind, True))
    for up in (True, False):
        n = 'up' if up else 'down'
        write(f'step-{n}.svg', step_button(up, False))
        write(f'step-{n}-hover.svg', step_button(up, True))
    write('mode-controller.svg', mode_button(False))
    write('mode-note.svg', mode_button(True))
    write('knob.svg', knob(False)); write('knob-lit.svg', knob(True))
    write('pad.svg', pad(False)); write('pad-lit.svg', pad(True))
    write('pedal.svg', pedal(False)); write('pedal-lit.svg', pedal(True))
    write('joystick.svg', joystick(False, False)); write('joystick-up.svg', joystick(True, False))
    write('joystick-down.svg', joystick(False, True)); write('joystick-both.svg', joystick(True, True))
    write('box.svg', box_background(26, 16))
    write('channel-box.svg', box_background(17, 18))
    write('vertex-ball.svg', vertex_ball())
    write('zorvik-halden.svg', app_icon())
    write('cursor-drag.svg', drag_cursor())
    write('cursor-hand.svg', hand_cursor())

if __name__ == '__main__':
    main()
