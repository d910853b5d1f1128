// Late-binding access to the page for the host program. Runs at document
// start in the host's own script world, so page scripts can neither see nor
// replace it, while the DOM itself is shared.
//
// Every entry point answers with one string the host decodes:
//   "u" undefined, "n" null, "b1"/"b0", "d" + number, "s" + text,
//   "h" + generation + ":" + id for an object, "e" + code + ":" + message.
// Objects stay in a table, so the same node always has the same id; the
// generation is drawn afresh for every document, so ids kept across a
// navigation are recognised and refused.

function tvrn2InstallBridge(scope) {
    'use strict';
    if (scope.__tvrn2Bridge)
        return;

    const generation = Math.floor(Math.random() * 4503599627370496) + 1;
    const objects = [undefined];
    const ids = new Map();

    class BridgeError extends Error {
        constructor(code, message) {
            super(message);
            this.code = code;
        }
    }

    function handleFor(object) {
        let id = ids.get(object);
        if (id === undefined) {
            id = objects.length;
            objects.push(object);
            ids.set(object, id);
        }
        return id;
    }

    function encode(value) {
        if (value === undefined)
            return 'u';
        if (value === null)
            return 'n';
        switch (typeof value) {
        case 'boolean':
            return value ? 'b1' : 'b0';
        case 'number':
            return 'd' + String(value);
        case 'string':
            return 's' + value;
        case 'bigint':
            return 's' + String(value);
        case 'symbol':
            return 's' + String(value);
        default:
            return 'h' + generation + ':' + handleFor(value);
        }
    }

    function resolve(objectGeneration, id) {
        if (objectGeneration !== generation)
            throw new BridgeError('stale', 'the object belongs to a document that is no longer loaded');
        if (!(id > 0 && id < objects.length))
            throw new BridgeError('released', 'no object has this handle');
        const object = objects[id];
        if (object === undefined)
            throw new BridgeError('released', 'the object was released');
        return object;
    }

    function decodeArgument(value) {
        if (value !== null && typeof value === 'object' && Array.isArray(value.$h))
            return resolve(value.$h[0], value.$h[1]);
        return value;
    }

    function answer(action) {
        try {
            return encode(action());
        } catch (error) {
            if (error instanceof BridgeError)
                return 'e' + error.code + ':' + error.message;
            const text = error && error.message !== undefined ? error.message : String(error);
            return 'escript:' + (error && error.name ? error.name + ': ' : '') + text;
        }
    }

    function documentObject() {
        return answer(() => scope.document);
    }

    function windowObject() {
        return answer(() => scope);
    }

    function getProperty(objectGeneration, id, name) {
        return answer(() => resolve(objectGeneration, id)[name]);
    }

    function putProperty(objectGeneration, id, name, value) {
        return answer(() => {
            resolve(objectGeneration, id)[name] = decodeArgument(value);
            return undefined;
        });
    }

    function invokeMethod(objectGeneration, id, name, args) {
        return answer(() => {
            const object = resolve(objectGeneration, id);
            const method = object[name];
            if (typeof method !== 'function')
                throw new BridgeError('notcallable', '"' + name + '" is not a method of the object');
            return method.apply(object, args.map(decodeArgument));
        });
    }

    function releaseObject(objectGeneration, id) {
        return answer(() => {
            const object = resolve(objectGeneration, id);
            ids.delete(object);
            objects[id] = undefined;
            return undefined;
        });
    }

    // Element walks read what they need of all their tags in one call, and
    // a write or click comes back with the page as it is afterwards, because
    // one round trip per property or per tag would make a form fill crawl.
    // Per tag a group: a record with the collection's length, then a record
    // per element: index, kind, tagName, id, className, type, name, value,
    // checked, readOnly, and for a walk cut short a last record with the
    // index to go on from. Fields end with \x1f, records with \x1e, groups
    // with \x1d. No handles are made, so a walk over a large page leaves
    // nothing behind in the object table.
    const fieldEnd = '\x1f';
    const recordEnd = '\x1e';
    const groupEnd = '\x1d';

    function elementKind(element) {
        switch (String(element.tagName || '').toUpperCase()) {
        case 'INPUT':
            return String(element.type || '').toLowerCase() === 'file' ? 'file' : 'input';
        case 'FORM':
            return 'form';
        case 'SELECT':
            return 'select';
        case 'TEXTAREA':
            return 'textarea';
        case 'IMG':
            return 'image';
        default:
            return 'other';
        }
    }

    function readText(element, name) {
        try {
            const value = element[name];
            if (value === undefined || value === null || typeof value === 'object' || typeof value === 'function')
                return '';
            return String(value).replace(/[\x1d-\x1f]/g, ' ');
        } catch (error) {
            return '';
        }
    }

    // The host keeps no element text longer than this (its widest field), so
    // a page of huge values never comes back as a huge reply.
    const textCut = 255;

    // At least textCut UTF-16 units of a longer text, never half of a
    // surrogate pair: as many UTF-8 bytes or more, so the host's own cut in
    // bytes sees the same text as without this one.
    function cutText(text) {
        if (text.length <= textCut)
            return text;
        const code = text.charCodeAt(textCut - 1);
        return text.slice(0, code >= 0xd800 && code <= 0xdbff ? textCut + 1 : textCut);
    }

    function elementRecord(index, element) {
        const kind = elementKind(element);
        const text = (name) => cutText(readText(element, name));
        // The host reads no more than tag name, id and class of other elements.
        if (kind === 'other')
            return [index, kind, text('tagName'), text('id'), text('className'), '', '', '', '0', '0'].join(fieldEnd) + fieldEnd;
        // An image's address stands in for its value.
        const value = kind === 'image' ? text('src') : text('value');
        return [index, kind, text('tagName'), text('id'), text('className'), text('type'), text('name'), value,
            element.checked === true ? '1' : '0', element.readOnly === true ? '1' : '0'].join(fieldEnd) + fieldEnd;
    }

    // A name as the host compares it loosely: without letter case or trailing
    // blanks. Whatever the host's own rule matches, this matches too.
    function nameKey(text) {
        const wellFormed = typeof text.toWellFormed === 'function' ? text.toWellFormed() : text;
        return wellFormed.trimEnd().toLowerCase();
    }

    // One answer covers at most this much of the page: a large page is read
    // in several calls, each of which ends long before the host stops waiting
    // for a page that does not answer, however long the whole walk takes.
    const walkTextBudget = 1 << 20;
    const walkElementBudget = 20000;

    // The tags from tags[fromTag] on, that one from fromIndex on. With a name
    // only the elements that may carry it are described (and the element at
    // fromIndex always), so a fill by name does not copy the whole page.
    // Past the budget the group in hand ends with a record holding just the
    // index to go on from, and no further group follows.
    function walkText(document, tags, fromTag, fromIndex, name) {
        const wanted = name === null ? null : nameKey(name);
        let text = '';
        let visited = 0;
        for (let position = fromTag; position < tags.length; ++position) {
            const collection = document.getElementsByTagName(tags[position]);
            const length = collection.length;
            text += String(length) + fieldEnd + recordEnd;
            const first = position === fromTag ? fromIndex : 0;
            for (let index = first; index < length; ++index) {
                const element = collection[index];
                if (wanted === null || (position === fromTag && index === fromIndex)
                    || nameKey(readText(element, 'name')) === wanted)
                    text += elementRecord(index, element) + recordEnd;
                if ((++visited >= walkElementBudget || text.length >= walkTextBudget) && index + 1 < length)
                    return text + String(index + 1) + fieldEnd + recordEnd + groupEnd;
            }
            text += groupEnd;
        }
        return text;
    }

    // A walk's document: a handle, or null for the page's own.
    function walkDocument(documentArgument) {
        return documentArgument === null ? scope.document : decodeArgument(documentArgument);
    }

    function walkElements(documentArgument, tags, fromTag, fromIndex, name) {
        return answer(() => walkText(walkDocument(documentArgument), tags, fromTag, fromIndex, name));
    }

    function fireEvent(element, type, bubbles) {
        element.dispatchEvent(new Event(type, { bubbles: bubbles }));
    }

    function actOn(element, action, value) {
        switch (action) {
        case 'click':
            element.click();
            break;
        case 'check':
            element.checked = value;
            break;
        case 'value':
            element.value = value;
            fireEvent(element, 'change', true);
            fireEvent(element, 'blur', false);
            break;
        case 'quietValue':
            element.value = value;
            break;
        case 'submit':
            element.submit();
            break;
        default:
            throw new BridgeError('notcallable', 'unknown action ' + action);
        }
    }

    // One write or click on the index-th element of tags[position], as the
    // walk decides, then the walk's reading from that element on, since page
    // scripts may have changed any element. Answers "1" or "0" for the
    // action, a group end, and the reading.
    function actOnElement(documentArgument, tags, position, index, action, value, name) {
        return answer(() => {
            const document = walkDocument(documentArgument);
            const element = document.getElementsByTagName(tags[position])[index];
            let done = false;
            if (element) {
                try {
                    actOn(element, action, value);
                    done = true;
                } catch (error) {
                    if (error instanceof BridgeError)
                        throw error;
                }
            }
            return (done ? '1' : '0') + groupEnd + walkText(document, tags, position, index, name);
        });
    }

    // Settles once the page has been through two rendering updates, so what
    // it shows now has been drawn and handed on to the screen.
    function nextPaint() {
        return new Promise(resolve => requestAnimationFrame(() => requestAnimationFrame(() => resolve(true))));
    }

    Object.defineProperty(scope, '__tvrn2Bridge', {
        value: Object.freeze({
            document: documentObject,
            window: windowObject,
            get: getProperty,
            put: putProperty,
            invoke: invokeMethod,
            release: releaseObject,
            walk: walkElements,
            act: actOnElement,
            painted: nextPaint,
        }),
    });
}

tvrn2InstallBridge(globalThis);
