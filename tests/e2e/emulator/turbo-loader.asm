; A multi-part turbo loader, as commercial tapes have: reads the parts listed in parts.inc one after
; another, each a block of its own pilot, sync and data whose last byte is the XOR of the others,
; then runs the code part. Border green when every part loaded, magenta when a part's XOR or a bit's
; edge failed, black when no part came within about 4 s of silence (a block that is not there).
        org 32768
start:  di
        ld hl,parts
part:   ld e,(hl)
        inc hl
        ld d,(hl)
        inc hl
        ld a,d
        or e
        jr z,run
        push de
        pop ix
        ld e,(hl)
        inc hl
        ld d,(hl)
        inc hl
        ; The part's pulse limits in 50-T loops go into the compares below.
        ld a,(hl)
        ld (pilotmin+1),a
        inc hl
        ld a,(hl)
        ld (pilotmax+1),a
        inc hl
        ld a,(hl)
        ld (syncmax+1),a
        inc hl
        ld a,(hl)
        ld (bitsplit+1),a
        inc hl
        ld a,(hl)
        ld (syncedges+1),a
        inc hl
        ld bc,1100
        ld (silence),bc
        push hl
        call turbo
        pop hl
        jr z,part
        jr show
run:    ld e,(hl)
        inc hl
        ld d,(hl)
        ld a,d
        or e
        jr z,loaded
        ld hl,loaded
        push hl
        ex de,hl
        jp (hl)
loaded: ld a,4
show:   out (254),a
        ei
        ret

; Waits for the next edge of the EAR bit. B counts 50-T loops; C holds the last level.
; Returns NZ at an edge, Z when B ran out.
edge:   inc b
        ret z
        ld a,127
        in a,(254)
        xor c
        and 64
        jr z,edge
        ld a,c
        xor 64
        ld c,a
        or 1
        ret

; Reads DE bytes to IX. Returns Z when their XOR is 0, else NZ with the border colour in A.
turbo:  ld a,127
        in a,(254)
        and 64
        ld c,a
find:   ld h,0
pilot:  ld b,0
        call edge
        jr z,quiet
        ld a,b
pilotmin:   cp 0
        jr c,find
pilotmax:   cp 0
        jr nc,find
        inc h
        jr nz,pilot
sync:   ld b,0
        call edge
        jr z,quiet
        ld a,b
syncmax:    cp 0
        jr nc,sync
syncedges:  ld h,0
moresync:   ld b,0
        call edge
        jr z,find
        dec h
        jr nz,moresync
        ld l,0
nextbyte:   ld h,1
nextbit:    ld b,0
        call edge
        jr z,fail
        call edge
        jr z,fail
        ld a,b
bitsplit:   cp 0
        ccf
        rl h
        jr nc,nextbit
        ld (ix+0),h
        ld a,h
        xor l
        ld l,a
        inc ix
        dec de
        ld a,d
        or e
        jr nz,nextbyte
        ld a,l
        or a
        ret z
fail:   ld a,3
        or a
        ret

; A stretch of 3.7 ms without an edge: counts down the silence this part may wait through.
quiet:  push hl
        ld hl,(silence)
        dec hl
        ld (silence),hl
        ld a,h
        or l
        pop hl
        jr nz,find
        or 1
        ld a,0
        ret

silence:    defw 0
; Each part: where it goes, its length with the XOR byte, its pilot's least and greatest length,
; the longest first sync and the split between a 0-bit and a 1-bit, all in 50-T loops, and how many
; sync pulses follow the first. Then 0 and the address to run (0: none).
parts:
        include "parts.inc"
        end start
